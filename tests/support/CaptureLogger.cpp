#include "tests/support/CaptureLogger.h"

#include "core/FileRW.h"
#include "core/Text.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

namespace TestSupport {

class CaptureLogger::Sink : public Log::Logger {
public:
    explicit Sink(int severity) : m_severity(severity) {}
    void setEnabled(bool) override {}
    bool isOpen() const override { return true; }
    void setFile(std::unique_ptr<FileSystem::FileRW>) override {}
    int severity() const override { return m_severity; }
    void setSeverity(int level) override { m_severity = level; }
    void write(int level, std::u16string_view text) override { writeWide(level, text, true); }
    void writeWide(int level, std::u16string_view text, bool endLine) override {
        writeNarrow(level, Core::wideToUtf8(text), endLine);
    }
    void writeNarrow(int level, std::string_view text, bool endLine) override {
        std::lock_guard lock(mutex);
        m_pending.append(text);
        if (endLine) {
            lines.push_back(m_pending);
            levels.push_back(level);
            m_pending.clear();
        }
    }

    mutable std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<int> levels;

private:
    std::atomic<int> m_severity;
    std::string m_pending;
};

CaptureLogger::CaptureLogger(int severity) {
    auto sink = std::make_unique<Sink>(severity);
    m_sink = sink.get();
    Log::install(std::move(sink));
}

CaptureLogger::~CaptureLogger() { Log::install(nullptr); }

const std::vector<std::string>& CaptureLogger::lines() const { return m_sink->lines; }

std::vector<std::string> CaptureLogger::snapshot() const {
    std::lock_guard lock(m_sink->mutex);
    return m_sink->lines;
}

std::vector<std::string> CaptureLogger::linesAt(int level) const {
    std::lock_guard lock(m_sink->mutex);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < m_sink->lines.size(); ++i)
        if (m_sink->levels[i] == level) out.push_back(m_sink->lines[i]);
    return out;
}

bool CaptureLogger::contains(const std::string& text) const {
    std::lock_guard lock(m_sink->mutex);
    return std::any_of(m_sink->lines.begin(), m_sink->lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::size_t CaptureLogger::count(const std::string& line) const {
    std::lock_guard lock(m_sink->mutex);
    return static_cast<std::size_t>(std::count(m_sink->lines.begin(), m_sink->lines.end(), line));
}

std::size_t CaptureLogger::countStartingWith(const std::string& prefix) const {
    std::lock_guard lock(m_sink->mutex);
    return static_cast<std::size_t>(std::count_if(m_sink->lines.begin(), m_sink->lines.end(),
                                                  [&](const std::string& l) { return l.starts_with(prefix); }));
}

void CaptureLogger::clear() {
    std::lock_guard lock(m_sink->mutex);
    m_sink->lines.clear();
    m_sink->levels.clear();
}

void CaptureLogger::setSeverity(int level) { m_sink->setSeverity(level); }

} // namespace TestSupport
