#include "core/TextConverter.h"

#include "core/Log.h"
#include "platform/Error.h"

#include <mutex>

namespace Core {
namespace {

// Bytes 0x80-0xBF of Windows-1251; 0xC0-0xFF are А..я in order and the lower
// half is ASCII. The one undefined byte, 0x98, passes through as U+0098.
constexpr char16_t kUpperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, //
};

char16_t cp1251(unsigned char b) {
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return static_cast<char16_t>(0x0410 + (b - 0xC0));
    return kUpperHalf[b - 0x80];
}

// The Cyrillic letters of the code page that the override table carries: the
// 64 letters А..я at 0xC0..0xFF and these 30 at their byte values.
constexpr unsigned char kOtherLetters[] = {
    0xA8, 0xB8, // Ё ё
    0x80, 0x90, // Ђ ђ
    0x81, 0x83, // Ѓ ѓ
    0xAA, 0xBA, // Є є
    0xBD, 0xBE, // Ѕ ѕ
    0xB2, 0xB3, // І і
    0xAF, 0xBF, // Ї ї
    0xA3, 0xBC, // Ј ј
    0x8A, 0x9A, // Љ љ
    0x8C, 0x9C, // Њ њ
    0x8E, 0x9E, // Ћ ћ
    0x8D, 0x9D, // Ќ ќ
    0xA1, 0xA2, // Ў ў
    0x8F, 0x9F, // Џ џ
    0xA5, 0xB4, // Ґ ґ
};

std::mutex& slotMutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<TextConverter>& slot() {
    static std::unique_ptr<TextConverter> s;
    return s;
}

} // namespace

TextConverter::TextConverter(bool systemKnows1251) {
    for (unsigned b = 0xC0; b <= 0xFF; ++b)
        m_byteTable[b] = cp1251(static_cast<unsigned char>(b));
    for (unsigned char b : kOtherLetters)
        m_byteTable[b] = cp1251(b);
    if (!systemKnows1251) {
        m_manual = true;
        m_codePage = 0;
        Log::log(Log::System, u"Manual ansi<->ucs2 convertion enabled");
    }
}

TextConverter& TextConverter::instance() {
    std::lock_guard lock(slotMutex());
    auto& s = slot();
    if (!s)
        s = std::make_unique<TextConverter>();
    return *s;
}

void TextConverter::replace(std::unique_ptr<TextConverter> converter) {
    std::lock_guard lock(slotMutex());
    slot() = std::move(converter);
}

char16_t TextConverter::systemChar(unsigned char byte) const {
    // Code page 0 stands for the system's own ANSI code page, which on this
    // platform is Latin-1: every byte is the code point of the same value.
    return m_codePage == 1251 ? cp1251(byte) : static_cast<char16_t>(byte);
}

std::u16string TextConverter::toWide(std::string_view bytes) const {
    std::u16string out;
    if (bytes.empty())
        return out;
    // One wide character per byte: the single-byte code page cannot fail.
    out.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char16_t over = m_byteTable[b];
        out[i] = over != 0 ? over : systemChar(b);
    }
    return out;
}

std::size_t TextConverter::toWideBuffer(std::string_view bytes, char16_t* destination, std::size_t capacity) const {
    if (destination == nullptr || capacity == 0) {
        Platform::setLastError(Platform::ErrorInsufficientBuffer);
        return 0;
    }
    if (bytes.empty()) {
        destination[0] = 0;
        return 0;
    }
    // The conversion fails as a whole when the buffer is too small, and the
    // terminator then goes to position 0.
    if (bytes.size() > capacity) {
        Platform::setLastError(Platform::ErrorInsufficientBuffer);
        destination[0] = 0;
        return 0;
    }
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char16_t over = m_byteTable[b];
        destination[i] = over != 0 ? over : systemChar(b);
    }
    // A text that fills the buffer exactly loses its last character to the
    // terminator, as the caller's capacity demands.
    destination[n < capacity - 1 ? n : capacity - 1] = 0;
    return n;
}

} // namespace Core
