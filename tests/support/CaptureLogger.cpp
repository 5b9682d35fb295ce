#include "tests/support/CaptureLogger.h"

#include "core/FileRW.h"
#include "core/Text.h"

#include <memory>

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
    void writeNarrow(int, std::string_view text, bool endLine) override {
        m_pending.append(text);
        if (endLine) {
            lines.push_back(m_pending);
            m_pending.clear();
        }
    }

    std::vector<std::string> lines;

private:
    int m_severity;
    std::string m_pending;
};

CaptureLogger::CaptureLogger(int severity) {
    auto sink = std::make_unique<Sink>(severity);
    m_sink = sink.get();
    Log::install(std::move(sink));
}

CaptureLogger::~CaptureLogger() { Log::install(nullptr); }

const std::vector<std::string>& CaptureLogger::lines() const { return m_sink->lines; }

bool CaptureLogger::contains(const std::string& text) const {
    for (const auto& line : m_sink->lines)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

} // namespace TestSupport
