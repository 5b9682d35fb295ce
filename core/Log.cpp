#include "core/Log.h"

#include "core/FileRW.h"
#include "core/LoggedText.h"
#include "core/Text.h"
#include "platform/Error.h"
#include "platform/Memory.h"
#include "platform/Path.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <type_traits>

namespace Log {
namespace {
// Threads are never killed: a port probe abandoned after its time limit may
// still log after the logger was replaced, or after main returned and the
// statics went. So every write holds the logger it found, and the slot
// itself is never destroyed (a logger left installed at exit is closed by
// the process's end: each line is flushed when it is written).
std::atomic<std::shared_ptr<Logger>>& slot() {
    static auto* s_logger = new std::atomic<std::shared_ptr<Logger>>();
    return *s_logger;
}

std::shared_ptr<Logger> current() { return slot().load(); }

// The installed logger when it writes lines of `level`, else null.
std::shared_ptr<Logger> writingAt(int level) {
    std::shared_ptr<Logger> l = current();
    return l && l->isOpen() && level <= l->severity() ? l : nullptr;
}
} // namespace

const char* severityName(int level) {
    static const char* const names[] = {"Critical", "System", "Normal", "Info", "Above info"};
    if (level < 0)
        level = 0;
    return names[level > 4 ? 4 : level];
}

void install(std::unique_ptr<Logger> logger) { slot().store(std::shared_ptr<Logger>(std::move(logger))); }

Logger* installed() { return current().get(); }

int currentSeverity() {
    const std::shared_ptr<Logger> l = current();
    return l ? l->severity() : 0;
}

bool enabledFor(int level) { return writingAt(level) != nullptr; }

namespace detail {
namespace {

// A line that ends in the program's "(err %d)" gets the system's text for
// that number after it, so that the reader need not know the numbers.
template <class Char>
std::basic_string<Char> withErrorText(std::basic_string_view<Char> text, Numbering numbering) {
    std::basic_string<Char> line(text);
    if (line.empty() || line.back() != Char(')'))
        return line;
    std::size_t digits = line.size() - 1;
    while (digits > 0 && line[digits - 1] >= Char('0') && line[digits - 1] <= Char('9'))
        --digits;
    const std::size_t count = line.size() - 1 - digits;
    if (count == 0 || count > 9)
        return line;
    std::size_t head = digits;
    const bool negative = head > 0 && line[head - 1] == Char('-');
    if (negative)
        --head;
    constexpr std::string_view prefix = "(err ";
    if (head < prefix.size())
        return line;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (line[head - prefix.size() + i] != Char(prefix[i]))
            return line;
    int code = 0;
    for (std::size_t i = digits; i + 1 < line.size(); ++i)
        code = code * 10 + static_cast<int>(line[i] - Char('0'));
    if (negative)
        code = -code;
    const std::string error = numbering == Numbering::Errno ? Platform::errnoText(code)
                              : numbering == Numbering::Own ? std::string()
                                                            : Platform::errorText(code);
    if (error.empty())
        return line;
    if constexpr (std::is_same_v<Char, char>)
        return line + ": " + error;
    else
        return line + u": " + Core::utf8ToWide(error);
}

constexpr std::size_t RecentCriticalCount = 6;

// Never destroyed, like the logger's slot: a thread may log after exit.
std::mutex& recentMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

// The last lines and the number of Critical lines logged before them.
struct RecentCritical {
    std::deque<std::string> lines;
    std::uint64_t dropped = 0;
};

RecentCritical& recentCritical() {
    static auto* recent = new RecentCritical;
    return *recent;
}

void remember(int level, std::string line) {
    if (level != Critical)
        return;
    std::lock_guard lock(recentMutex());
    RecentCritical& recent = recentCritical();
    recent.lines.push_back(std::move(line));
    if (recent.lines.size() > RecentCriticalCount) {
        recent.lines.pop_front();
        ++recent.dropped;
    }
}

} // namespace

void writeFormatted(int level, std::u16string_view text, Numbering numbering) {
    Platform::ErrorKeeper keep;
    const std::u16string line = withErrorText(text, numbering);
    if (const std::shared_ptr<Logger> logger = current())
        logger->write(level, line);
    remember(level, Core::wideToUtf8(line));
}

void writeFormattedNarrow(int level, std::string_view text, Numbering numbering) {
    Platform::ErrorKeeper keep;
    std::string line = withErrorText(text, numbering);
    if (const std::shared_ptr<Logger> logger = current())
        logger->writeNarrow(level, line, true);
    remember(level, std::move(line));
}

namespace {

template <class Char> std::basic_string<Char> escapedControls(std::basic_string<Char> text) {
    const auto isControl = [](Char c) {
        const auto code = static_cast<std::make_unsigned_t<Char>>(c);
        return code < 0x20 || code == 0x7F;
    };
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    std::basic_string<Char> out;
    for (const Char c : text) {
        if (!isControl(c)) {
            out += c;
            continue;
        }
        static const char digits[] = "0123456789ABCDEF";
        const auto code = static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(c));
        for (const char e : {'\\', 'x', digits[code >> 4], digits[code & 15]})
            out += static_cast<Char>(e);
    }
    return out;
}

} // namespace

std::u16string shownText(std::u16string_view text) {
    return escapedControls(Platform::shownPath(withSecretsHidden(text)));
}
std::string shownText(std::string_view text) {
    return escapedControls(Platform::shownPath(withSecretsHidden(text)));
}
} // namespace detail

std::uint64_t criticalLineCount() {
    std::lock_guard lock(detail::recentMutex());
    const detail::RecentCritical& recent = detail::recentCritical();
    return recent.dropped + recent.lines.size();
}

std::vector<std::string> recentCriticalLines(std::uint64_t since) {
    std::lock_guard lock(detail::recentMutex());
    const detail::RecentCritical& recent = detail::recentCritical();
    const std::uint64_t skipped = since > recent.dropped ? since - recent.dropped : 0;
    if (skipped >= recent.lines.size())
        return {};
    return {recent.lines.begin() + static_cast<std::ptrdiff_t>(skipped), recent.lines.end()};
}

void hexDump(const void* bytes, std::size_t length) {
    Platform::ErrorKeeper keep;
    const std::shared_ptr<Logger> logger = writingAt(Info);
    if (!bytes || !logger)
        return;
    // A message's secrets are hidden in its bytes before they are dumped:
    // a row's end may cut one in two, and the text column shows it whole.
    const std::string shown = withSecretsHidden(std::string_view(static_cast<const char*>(bytes), length));
    const auto* data = reinterpret_cast<const unsigned char*>(shown.data());
    length = shown.size();
    for (std::size_t row = 0; row < length; row += 16) {
        const std::size_t count = length - row < 16 ? length - row : 16;
        std::string hex;
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char b = data[row + i];
            hex += Core::format("%02x ", b);
            text.push_back(b < 32 ? '.' : static_cast<char>(b));
        }
        // A short last row keeps the text column in line with full rows.
        hex.append(3 * (16 - count), ' ');
        logger->writeNarrow(Info, hex, false);
        logger->writeWide(Info, Core::ansiToWide(text), true);
    }
}

void logMemoryStatus() {
    Platform::ErrorKeeper keep;
    const std::shared_ptr<Logger> logger = writingAt(Info);
    if (!logger)
        return;
    const Platform::MemoryStatus status = Platform::memoryStatus();
    logger->writeNarrow(Info, Core::format("Memory: phys:%d, virt:%d", status.availablePhysical, status.availableVirtual),
                             true);
}

} // namespace Log
