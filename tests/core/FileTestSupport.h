#pragma once
// Helpers shared by the file tests of this folder.

#include "core/FileRW.h"
#include "platform/Path.h"

#include <filesystem>
#include <string>

namespace FileTests {

inline std::u16string wide(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

// A FileRW over a string, with switches to make single operations fail and
// counters of the calls that reached it.
class FakeFile : public FileSystem::FileRW {
public:
    explicit FakeFile(std::string data = {}, bool* destroyed = nullptr) : bytes(std::move(data)), m_destroyed(destroyed) {}
    ~FakeFile() override {
        if (m_destroyed)
            *m_destroyed = true;
    }
    bool isOpen() const override { return true; }
    int lastError() const override { return 77; }
    std::size_t read(void* buffer, std::size_t size, std::size_t count) override {
        ++reads;
        std::size_t n = 0;
        while (n < count && size && position + size <= bytes.size()) {
            bytes.copy(static_cast<char*>(buffer) + n * size, size, position);
            position += size;
            ++n;
        }
        return size ? n : count;
    }
    std::size_t write(const void* buffer, std::size_t size, std::size_t count) override {
        if (failWrites)
            return 0;
        bytes.replace(position, size * count, static_cast<const char*>(buffer), size * count);
        position += size * count;
        return count;
    }
    std::uint32_t tell() override { return failTell ? 0xFFFFFFFFu : static_cast<std::uint32_t>(position); }
    bool seek(std::int32_t p) override { return moveTo(p); }
    bool seekRelative(std::int32_t d) override { return moveTo(static_cast<std::int64_t>(position) + d); }
    bool seekToEnd() override { return moveTo(static_cast<std::int64_t>(bytes.size())); }
    void flush() override {}

    std::string bytes;
    std::size_t position = 0;
    int reads = 0;
    bool failTell = false;
    bool failWrites = false;

private:
    bool moveTo(std::int64_t p) {
        if (p < 0 || p > static_cast<std::int64_t>(bytes.size()))
            return false;
        position = static_cast<std::size_t>(p);
        return true;
    }
    bool* m_destroyed;
};

} // namespace FileTests
