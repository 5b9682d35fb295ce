#include "positioning/NmeaSentenceReader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Positioning {

namespace {

// Every control character ends a line, and so does every byte from 0x80 up
// (the byte read as a signed 8-bit number is below 32): receivers never send
// them inside a sentence, and noise on the line often looks like them.
bool isLineEnd(char c) {
    return static_cast<std::int8_t>(c) < 32;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Eight bytes at a time: a sentence is some 70 bytes, and the line end, the
// '*' and the sum are each a byte loop of that length otherwise.
constexpr std::uint64_t Ones = 0x0101010101010101ULL;
constexpr std::uint64_t HighBits = 0x8080808080808080ULL;

std::uint64_t load(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The high bit of each byte of `word` that is a line end. A byte below 0x20
// borrows from the one above it, so only the lowest mark is exact: callers
// take the lowest.
std::uint64_t lineEnds(std::uint64_t word) {
    return ((word - 0x20 * Ones) | word) & HighBits;
}

// The high bit of each byte equal to `c`, exactly (no borrows).
std::uint64_t bytesEqual(std::uint64_t word, char c) {
    const std::uint64_t x = word ^ (static_cast<std::uint8_t>(c) * Ones);
    return ~(((x & ~HighBits) + ~HighBits) | x | ~HighBits);
}

// Bytes are read in memory order; the lowest mark is the first byte on a
// little-endian machine, the highest on a big-endian one.
std::uint32_t firstMarked(std::uint64_t marks) {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<std::uint32_t>(std::countr_zero(marks)) / 8;
    else
        return static_cast<std::uint32_t>(std::countl_zero(marks)) / 8;
}

// The high bits of the first `n` bytes of a word in memory order (n < 8).
std::uint64_t firstBytesHighBits(std::uint32_t n) {
    return HighBits & ((std::uint64_t{1} << (8 * n)) - 1);
}

// Whether the `n` bytes from p (n < 8) hold no line end, told from the whole
// word at p: the reader's buffer has room for it past its count. Bytes past
// the n can only mark bytes above them, not these (little-endian only).
bool noLineEndIn(const char* p, std::uint32_t n) {
    return (lineEnds(load(p)) & firstBytesHighBits(n)) == 0;
}

// The first line end in [from, count), or count.
std::uint32_t findLineEnd(const char* buffer, std::uint32_t from, std::uint32_t count) {
    for (; from + 8 <= count; from += 8)
        if (const std::uint64_t marks = lineEnds(load(buffer + from))) return from + firstMarked(marks);
    while (from < count && !isLineEnd(buffer[from]))
        ++from;
    return from;
}

// What the walk over a line that starts with '$' found: its end (the first
// line end, or the count of bytes held when none came yet), its first '*'
// before the end (or the end when none) and the checksum rule's sum, the
// XOR of every byte between the '$' and that '*' that is not a '$'.
struct SentenceScan {
    std::uint32_t end;
    std::uint32_t star;
    std::uint8_t sum;
};

std::uint8_t fold(std::uint64_t wide) {
    wide ^= wide >> 32;
    wide ^= wide >> 16;
    wide ^= wide >> 8;
    return static_cast<std::uint8_t>(wide);
}

// One walk finds the line's end and takes its sum on the way, so a sentence
// is read once rather than once for its end and again for its sum: eight
// bytes at a time while no byte of the word lies below '+' (line ends,
// '$' and '*' do, no byte of a sentence's fields does) or from 0x80 up (a
// line end); such a word goes byte by byte. Past the '*' only the end is
// looked for.
SentenceScan scanSentence(const char* buffer, std::uint32_t start, std::uint32_t count) {
    std::uint64_t wide = 0;
    std::uint8_t sum = 0;
    std::uint32_t i = start + 1;
#if defined(__SSE2__)
    // Sixteen bytes at a time where the processor has the vectors (every
    // x86-64 does): the bytes below '+' or from 0x80 up are those below '+'
    // as signed bytes. A marked byte is taken alone and the walk goes on
    // after it; the words below finish the line's last sixteen bytes.
    {
        const __m128i plus = _mm_set1_epi8('+');
        const __m128i positions = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        __m128i vectorSum = _mm_setzero_si128();
        bool star = false;
        while (i + 16 <= count) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buffer + i));
            const int marks = _mm_movemask_epi8(_mm_cmplt_epi8(block, plus));
            if (marks == 0) {
                vectorSum = _mm_xor_si128(vectorSum, block);
                i += 16;
                continue;
            }
            const int first = std::countr_zero(static_cast<unsigned>(marks));
            const __m128i before = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(first)), positions);
            vectorSum = _mm_xor_si128(vectorSum, _mm_and_si128(block, before));
            i += static_cast<std::uint32_t>(first);
            const char c = buffer[i];
            if (isLineEnd(c)) return {i, i, 0};
            if (c == '*') {
                star = true;
                break;
            }
            if (c != '$') sum ^= static_cast<std::uint8_t>(c);
            ++i;
        }
        wide = static_cast<std::uint64_t>(_mm_cvtsi128_si64(vectorSum)) ^
               static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_srli_si128(vectorSum, 8)));
        if (star) return {findLineEnd(buffer, i + 1, count), i, static_cast<std::uint8_t>(fold(wide) ^ sum)};
    }
#endif
    for (;;) {
        if (i + 8 <= count) {
            const std::uint64_t word = load(buffer + i);
            if (((((word - 0x2B * Ones) & ~word) | word) & HighBits) == 0) {
                wide ^= word;
                i += 8;
                continue;
            }
        }
        const std::uint32_t stop = std::min(i + 8, count);
        if (i == stop) return {count, count, 0};
        // The line goes on past the bytes held: its sum is taken again when
        // it is walked again.
        if constexpr (std::endian::native == std::endian::little)
            if (stop < i + 8 && i + 8 <= NmeaSentenceReader::BufferSize && noLineEndIn(buffer + i, count - i))
                return {count, count, 0};
        for (; i < stop; ++i) {
            const char c = buffer[i];
            if (isLineEnd(c)) return {i, i, 0};
            if (c == '*')
                return {findLineEnd(buffer, i + 1, count), i, static_cast<std::uint8_t>(fold(wide) ^ sum)};
            if (c != '$') sum ^= static_cast<std::uint8_t>(c);
        }
    }
}

// Whether the line carries its sum after the '*' as two hex digits (either
// case): what nmeaChecksumMatches decides for the line.
bool sumFollowsStar(const char* buffer, const SentenceScan& line) {
    static constexpr char hex[] = "0123456789ABCDEF";
    return line.end - line.star > 2 && upper(buffer[line.star + 1]) == hex[line.sum >> 4] &&
           upper(buffer[line.star + 2]) == hex[line.sum & 0x0F];
}

} // namespace

bool isReceiverSentence(const char* text, std::uint32_t length) {
    return length >= 3 && text[0] == '$' && text[1] == 'G' && (text[2] == 'P' || text[2] == 'N');
}

bool nmeaChecksumMatches(const char* line, std::uint32_t length) {
    static constexpr char hex[] = "0123456789ABCDEF";
    if (length == 0 || line[0] != '$') return false;
    // The XOR of whole words folds to the XOR of their bytes; a word with a
    // '*' or a '$' in it goes byte by byte.
    std::uint64_t wide = 0;
    std::uint8_t sum = 0;
    std::uint32_t i = 1;
    for (; i + 8 <= length; i += 8) {
        const std::uint64_t word = load(line + i);
        // '$' and '*' lie below '+', as no byte of a sentence's fields
        // does: most words pass on this one test.
        if ((word - 0x2B * Ones) & ~word & HighBits) {
            const std::uint64_t stars = bytesEqual(word, '*');
            const std::uint64_t dollars = bytesEqual(word, '$');
            // The '*' before any '$' of the word: the bytes before it count.
            if (std::endian::native == std::endian::little && stars &&
                (dollars == 0 || std::countr_zero(stars) < std::countr_zero(dollars))) {
                const std::uint32_t at = firstMarked(stars);
                wide ^= word & ((std::uint64_t{1} << (8 * at)) - 1);
                i += at;
            }
            if (stars | dollars) break;
        }
        wide ^= word;
    }
    wide ^= wide >> 32;
    wide ^= wide >> 16;
    wide ^= wide >> 8;
    sum = static_cast<std::uint8_t>(wide);
    for (; i < length && line[i] != '*'; ++i)
        if (line[i] != '$') sum ^= static_cast<std::uint8_t>(line[i]);
    if (i >= length || length - i - 1 < 2) return false;
    return upper(line[i + 1]) == hex[sum >> 4] && upper(line[i + 2]) == hex[sum & 0x0F];
}

// The lines are cut where they lie; what is left is moved to the front of
// the buffer once, when the scan ends, not once per line.
std::uint32_t NmeaSentenceReader::scan(std::uint32_t added) {
    added = std::min(added, m_free);
    m_count += added;
    m_free -= added;
    std::uint32_t handed = 0;
    std::uint32_t start = 0;        // the first byte of the current line
    std::uint32_t from = m_scanPos; // where the search for its end resumes
    while (m_count - start >= MinimumScan) {
        // A line that starts with '$' is walked for its end and its sum at
        // once, from its start again when a scan left it incomplete (a read
        // of a port leaves some 40 bytes of it: walking them again costs less
        // than keeping the walk's state between scans); other lines only
        // need their end.
        const bool dollar = m_buffer[start] == '$';
        SentenceScan line{};
        if (dollar)
            line = scanSentence(m_buffer, start, m_count);
        else
            line.end = findLineEnd(m_buffer, from, m_count);
        const std::uint32_t end = line.end;
        if (end == m_count) {
            if (m_count - start == BufferSize) {
                // A whole buffer without a line end: nothing in it can become
                // a sentence, start afresh.
                reset();
                return handed;
            }
            from = dollar ? start : m_count - 1;
            break;
        }
        m_buffer[end] = '\0';
        if (dollar && sumFollowsStar(m_buffer, line)) {
            onSentence(m_buffer + start, end - start);
            ++handed;
        }
        std::uint32_t next = end + 1;
        while (next < m_count && isLineEnd(m_buffer[next]))
            ++next;
        start = next;
        from = next;
    }
    if (start > 0) {
        std::memmove(m_buffer, m_buffer + start, m_count - start);
        m_count -= start;
        m_free += start;
    }
    m_scanPos = from - start;
    return handed;
}

std::uint32_t NmeaSentenceReader::feed(std::string_view bytes) {
    std::uint32_t handed = 0;
    while (!bytes.empty()) {
        const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), m_free));
        if (n == 0) // cannot happen: a full buffer is always scanned down
            break;
        std::memcpy(writePosition(), bytes.data(), n);
        bytes.remove_prefix(n);
        handed += scan(n);
    }
    return handed;
}

void NmeaSentenceReader::reset() {
    m_count = 0;
    m_free = BufferSize;
    m_scanPos = 0;
}

} // namespace Positioning
