#pragma once
// A FileRW over a C standard stream, for the files positioning writes.

#include "core/FileRW.h"

#include <cstdio>
#include <memory>
#include <string>

namespace Positioning::detail {

class StdioFile final : public FileSystem::FileRW {
  public:
    // `path` is UTF-8; `mode` as for fopen. Check isOpen(); on failure
    // lastError() holds errno.
    StdioFile(const std::string& path, const char* mode);
    ~StdioFile() override;

    bool isOpen() const override { return m_file != nullptr; }
    int lastError() const override { return m_error; }
    std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::size_t write(const void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::uint32_t tell() override;
    bool seek(std::int32_t position) override;
    bool seekRelative(std::int32_t offset) override;
    bool seekToEnd() override;
    void flush() override;

  private:
    std::FILE* m_file = nullptr;
    int m_error = 0;
};

} // namespace Positioning::detail
