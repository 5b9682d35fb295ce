#pragma once
// A logger for tests: keeps every line written through Log::log and friends
// in memory (as UTF-8), installed for the lifetime of the object.

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
    const std::vector<std::string>& lines() const;
    // True when some line contains the text.
    bool contains(const std::string& text) const;

private:
    class Sink;
    Sink* m_sink; // owned by the installed logger slot
};

} // namespace TestSupport
