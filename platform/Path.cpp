#include "platform/Path.h"

#include "platform/Utf8.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace Platform {
namespace {

// The folder of the executable, or the working folder when /proc is not
// mounted; "./" as the last resort.
std::u16string findProgramFolder() {
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    std::string path;
    if (n > 0 && static_cast<std::size_t>(n) < buffer.size() - 1) {
        path.assign(buffer.data(), static_cast<std::size_t>(n));
        const auto slash = path.rfind('/');
        path.resize(slash == std::string::npos ? 0 : slash + 1);
    }
    if (path.empty() && getcwd(buffer.data(), buffer.size()))
        path = std::string(buffer.data()) + "/";
    if (path.empty())
        path = "./";
    return fromNativePath(path);
}

} // namespace

std::u16string shownPath(std::u16string_view path) {
    std::u16string out(path);
    for (char16_t& c : out)
        if (c == u'\\')
            c = u'/';
    return out;
}

std::string shownPath(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::string toNativePath(std::u16string_view path) {
    std::string out = utf16ToUtf8(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::u16string fromNativePath(std::string_view path) {
    std::u16string out;
    out.reserve(path.size());
    const std::size_t n = path.size();
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(path[k]); };
    auto continuation = [&](std::size_t k) { return k < n && (at(k) & 0xC0) == 0x80; };
    std::size_t i = 0;
    while (i < n) {
        const unsigned b = at(i);
        char32_t u = 0xFFFD;
        std::size_t length = 1;
        if (b < 0x80) {
            u = b;
        } else if ((b & 0xE0) == 0xC0 && b >= 0xC2 && continuation(i + 1)) {
            u = ((b & 0x1F) << 6) | (at(i + 1) & 0x3F);
            length = 2;
        } else if ((b & 0xF0) == 0xE0 && continuation(i + 1) && continuation(i + 2)) {
            const char32_t v = ((b & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F);
            if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
                u = v;
                length = 3;
            }
        } else if ((b & 0xF8) == 0xF0 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            const char32_t v = ((b & 0x07) << 18) | ((at(i + 1) & 0x3F) << 12) | ((at(i + 2) & 0x3F) << 6) |
                               (at(i + 3) & 0x3F);
            if (v >= 0x10000 && v <= 0x10FFFF) {
                u = v;
                length = 4;
            }
        }
        if (u >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(u));
        }
        i += length;
    }
    return out;
}

const std::u16string& programFolder() {
    static const std::u16string folder = findProgramFolder();
    return folder;
}

std::u16string dataFolder() { return programFolder() + u"data/"; }

} // namespace Platform
