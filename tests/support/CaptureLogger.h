#pragma once
// A logger for tests: keeps every line written through Log::log and friends
// in memory (as UTF-8), installed for the lifetime of the object. Lines may
// come from any thread.

#include "core/Log.h"

#include <string>
#include <vector>

namespace TestSupport {

class CaptureLogger {
public:
    explicit CaptureLogger(int severity = Log::AboveInfo);
    // Uninstalls the logger.
    ~CaptureLogger();
    CaptureLogger(const CaptureLogger&) = delete;
    CaptureLogger& operator=(const CaptureLogger&) = delete;

    // Complete lines so far; a line still being written is not included.
    // Read it when no other thread logs; snapshot() copies it at any time.
    const std::vector<std::string>& lines() const;
    std::vector<std::string> snapshot() const;
    // Lines logged at exactly this level.
    std::vector<std::string> linesAt(int level) const;
    // True when some line contains the text.
    bool contains(const std::string& text) const;
    // Lines equal to the text, and lines that start with it.
    std::size_t count(const std::string& line) const;
    std::size_t countStartingWith(const std::string& prefix) const;
    void clear();
    void setSeverity(int level);

private:
    class Sink;
    Sink* m_sink; // owned by the installed logger slot
};

} // namespace TestSupport
