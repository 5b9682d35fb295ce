#pragma once
// The process-wide converter from the "ANSI" code page (Windows-1251,
// Cyrillic) to wide text. The code page is built in as a table, so the
// conversion never depends on the machine's locale. A second, smaller table
// of the Cyrillic letters overrides the result byte by byte: on a system that
// lacks code page 1251 (modelled here by the constructor's flag) the bytes go
// through the system's own code page first, and the override puts the
// Cyrillic letters right.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Core {

class TextConverter {
public:
    // systemKnows1251 false selects manual mode: code page 0 (the system's
    // ANSI code page, Latin-1 on this platform) plus the override table,
    // announced in the log at System level.
    explicit TextConverter(bool systemKnows1251 = true);

    // The converter in use, created on first use.
    static TextConverter& instance();
    // Replaces the converter in use (the old one is destroyed). Call only
    // while no other thread converts text.
    static void replace(std::unique_ptr<TextConverter> converter);

    bool manual() const { return m_manual; }
    // 1251, or 0 in manual mode.
    std::uint32_t codePage() const { return m_codePage; }
    // The override letter for a byte, 0 when the byte has none.
    char16_t overrideFor(unsigned char byte) const { return m_byteTable[byte]; }

    std::u16string toWide(std::string_view bytes) const;
    // See Core::ansiToWideBuffer.
    std::size_t toWideBuffer(std::string_view bytes, char16_t* destination, std::size_t capacity) const;

    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

private:
    char16_t systemChar(unsigned char byte) const;

    bool m_manual = false;
    std::uint32_t m_codePage = 1251;
    std::array<char16_t, 256> m_byteTable{};
};

} // namespace Core
