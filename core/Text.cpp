#include "core/Text.h"

#include "platform/Utf8.h"

#include "core/TextConverter.h"

#include <array>
#include <memory>

namespace Core {

std::u16string utf8ToWide(std::string_view bytes) { return Platform::utf8ToUtf16(bytes); }

std::string wideToUtf8(std::u16string_view text) { return Platform::utf16ToUtf8(text); }

std::u16string ansiToWide(std::string_view bytes) { return TextConverter::instance().toWide(bytes); }

std::u16string ansiToWide(const char* zeroTerminated) {
    if (zeroTerminated == nullptr)
        return {};
    return ansiToWide(std::string_view(zeroTerminated));
}

std::size_t ansiToWideBuffer(std::string_view bytes, char16_t* destination, std::size_t capacity) {
    return TextConverter::instance().toWideBuffer(bytes, destination, capacity);
}

namespace {

// Identity except for the Cyrillic case pairs: А..Я/а..я and the letters of
// the other Cyrillic alphabets that code page 1251 carries.
struct CaseTable {
    std::array<char16_t, 65536> lower;
    std::array<char16_t, 65536> upper;

    CaseTable() {
        for (unsigned c = 0; c < 65536; ++c)
            lower[c] = upper[c] = static_cast<char16_t>(c);
        auto pair = [this](unsigned up, unsigned low) {
            lower[up] = static_cast<char16_t>(low);
            upper[low] = static_cast<char16_t>(up);
        };
        for (unsigned i = 0; i < 32; ++i)
            pair(0x410 + i, 0x430 + i);
        for (unsigned up : {0x401u, 0x402u, 0x403u, 0x404u, 0x405u, 0x406u, 0x407u, 0x408u, 0x409u, 0x40Au, 0x40Bu,
                            0x40Cu, 0x40Eu, 0x40Fu})
            pair(up, up + 0x50);
        pair(0x490, 0x491);
    }
};

const CaseTable& caseTable() {
    // Built once, on the first non-ASCII mapping; the static's initialisation
    // is thread-safe.
    static const auto table = std::make_unique<CaseTable>();
    return *table;
}

} // namespace

char16_t toLower(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + 32);
    return caseTable().lower[c];
}

char16_t toUpper(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 32);
    return caseTable().upper[c];
}

} // namespace Core
