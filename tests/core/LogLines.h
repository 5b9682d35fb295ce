#pragma once
// Captures the lines written through Log::log while it lives, at every level.

#include "core/FileRW.h"
#include "core/Log.h"
#include "core/Text.h"

#include <memory>
#include <string>
#include <vector>

namespace TestSupport {

class LogLines {
public:
    LogLines() {
        auto logger = std::make_unique<Capture>();
        m_capture = logger.get();
        Log::install(std::move(logger));
    }
    ~LogLines() { Log::install(nullptr); }
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;

    // UTF-8 lines, oldest first.
    const std::vector<std::string>& lines() const { return m_capture->lines; }
    void clear() { m_capture->lines.clear(); }

private:
    struct Capture : Log::Logger {
        std::vector<std::string> lines;
        void setEnabled(bool) override {}
        bool isOpen() const override { return true; }
        void setFile(std::unique_ptr<FileSystem::FileRW>) override {}
        int severity() const override { return Log::AboveInfo; }
        void setSeverity(int) override {}
        void write(int, std::u16string_view text) override { lines.push_back(Core::wideToUtf8(text)); }
        void writeWide(int, std::u16string_view text, bool) override {
            lines.push_back(Core::wideToUtf8(text));
        }
        void writeNarrow(int, std::string_view text, bool) override { lines.emplace_back(text); }
    };
    Capture* m_capture;
};

} // namespace TestSupport
