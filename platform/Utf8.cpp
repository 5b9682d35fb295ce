#include "platform/Utf8.h"

namespace Platform {

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned u = text[i];
        if (u >= 0xDC00 && u <= 0xDFFF) {
            out.push_back('?');
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                u = (((u & 0x3FF) << 10) | (text[i + 1] & 0x3FFu)) + 0x10000;
                ++i;
            } else {
                out.push_back('?');
                continue;
            }
        }
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else if (u < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (u >> 18)));
            out.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() * 2 / 3 + 1);
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    size_t i = 0;
    while (i < n) {
        const unsigned b = at(i);
        if (b < 0x80) {
            out.push_back(static_cast<char16_t>(b));
            i += 1;
        } else if ((b & 0xE0) == 0xC0) {
            if (i + 1 >= n)
                break;
            out.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (at(i + 1) & 0x3F)));
            i += 2;
        } else if ((b & 0xF0) == 0xE0) {
            if (i + 2 >= n)
                break;
            out.push_back(static_cast<char16_t>(((b & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F)));
            i += 3;
        } else if ((b & 0xF8) == 0xF0) {
            if (i + 2 >= n)
                break;
            const unsigned high = ((b & 0x07) << 18) | ((at(i + 1) & 0x3F) << 12) | ((at(i + 2) & 0x3F) << 6);
            const unsigned u = high - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + ((u >> 10) & 0x3FF)));
            if (i + 3 >= n)
                break;
            const unsigned full = (high | (at(i + 3) & 0x3F)) - 0x10000;
            out.push_back(static_cast<char16_t>(0xDC00 + (full & 0x3FF)));
            i += 4;
        } else {
            out.push_back(u'?');
            i += 1;
        }
    }
    return out;
}

} // namespace Platform
