#pragma once
// Installs a logger that keeps every line in memory (as UTF-8) for the life
// of the object; safe to log into from any thread.

#include "core/Log.h"
#include "core/Text.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace TestSupport {

class LogCapture {
  public:
    explicit LogCapture(int severity = Log::AboveInfo) {
        auto logger = std::make_unique<Memory>(severity);
        m_memory = logger.get();
        Log::install(std::move(logger));
    }
    ~LogCapture() { Log::install(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(m_memory->mutex);
        return m_memory->lines;
    }
    // Lines at exactly this level.
    std::vector<std::string> linesAt(int level) const {
        std::lock_guard lock(m_memory->mutex);
        std::vector<std::string> out;
        for (std::size_t i = 0; i < m_memory->lines.size(); ++i)
            if (m_memory->levels[i] == level) out.push_back(m_memory->lines[i]);
        return out;
    }
    std::size_t count(const std::string& line) const {
        std::lock_guard lock(m_memory->mutex);
        return static_cast<std::size_t>(std::count(m_memory->lines.begin(), m_memory->lines.end(), line));
    }
    std::size_t countStartingWith(const std::string& prefix) const {
        std::lock_guard lock(m_memory->mutex);
        return static_cast<std::size_t>(
            std::count_if(m_memory->lines.begin(), m_memory->lines.end(),
                          [&](const std::string& l) { return l.starts_with(prefix); }));
    }
    void clear() {
        std::lock_guard lock(m_memory->mutex);
        m_memory->lines.clear();
        m_memory->levels.clear();
    }
    void setSeverity(int level) { m_memory->setSeverity(level); }

  private:
    struct Memory final : Log::Logger {
        explicit Memory(int level) : level(level) {}
        void setEnabled(bool) override {}
        bool isOpen() const override { return true; }
        void setFile(std::unique_ptr<FileSystem::FileRW>) override {}
        int severity() const override { return level; }
        void setSeverity(int value) override { level = value; }
        void write(int lineLevel, std::u16string_view text) override {
            add(lineLevel, Core::wideToUtf8(text));
        }
        void writeWide(int lineLevel, std::u16string_view text, bool) override {
            add(lineLevel, Core::wideToUtf8(text));
        }
        void writeNarrow(int lineLevel, std::string_view text, bool) override {
            add(lineLevel, std::string(text));
        }
        void add(int lineLevel, std::string text) {
            std::lock_guard lock(mutex);
            lines.push_back(std::move(text));
            levels.push_back(lineLevel);
        }
        std::atomic<int> level;
        mutable std::mutex mutex;
        std::vector<std::string> lines;
        std::vector<int> levels;
    };
    Memory* m_memory;
};

} // namespace TestSupport
