#pragma once
// Installs a logger that keeps every line in memory (as UTF-8, with its
// level) for the lifetime of the object, and removes it afterwards.

#include "core/FileRW.h"
#include "core/Log.h"
#include "core/Text.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace TestSupport {

class LogCapture {
public:
    struct Line {
        int level;
        std::string text;
    };

    explicit LogCapture(int severity = Log::AboveInfo) {
        auto logger = std::make_unique<Sink>(m_lines);
        logger->setSeverity(severity);
        Log::install(std::move(logger));
    }
    ~LogCapture() { Log::install(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<Line>& lines() const { return m_lines; }
    void clear() { m_lines.clear(); }
    bool contains(const std::string& text) const {
        for (const auto& l : m_lines)
            if (l.text == text)
                return true;
        return false;
    }

private:
    class Sink : public Log::Logger {
    public:
        explicit Sink(std::vector<Line>& lines) : m_lines(lines) {}
        void setEnabled(bool) override {}
        bool isOpen() const override { return true; }
        void setFile(std::unique_ptr<FileSystem::FileRW>) override {}
        int severity() const override { return m_severity; }
        void setSeverity(int level) override { m_severity = level; }
        void write(int level, std::u16string_view text) override {
            m_lines.push_back({level, Core::wideToUtf8(text)});
        }
        void writeWide(int level, std::u16string_view text, bool) override { write(level, text); }
        void writeNarrow(int level, std::string_view text, bool) override {
            m_lines.push_back({level, std::string(text)});
        }

    private:
        std::vector<Line>& m_lines;
        int m_severity = Log::AboveInfo;
    };

    std::vector<Line> m_lines;
};

} // namespace TestSupport
