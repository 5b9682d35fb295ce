#include "tests/fuzz/FuzzInput.h"

#include "core/Log.h"
#include "platform/Path.h"
#include "tests/support/TempDir.h"

#include <fstream>
#include <memory>

namespace FuzzInput {

namespace {

class DiscardingLogger : public Log::Logger {
public:
    void setEnabled(bool) override {}
    bool isOpen() const override { return true; }
    void setFile(std::unique_ptr<FileSystem::FileRW>) override {}
    int severity() const override { return Log::Info; }
    void setSeverity(int) override {}
    void write(int, std::u16string_view text) override { m_units += text.size(); }
    void writeWide(int, std::u16string_view text, bool) override { m_units += text.size(); }
    void writeNarrow(int, std::string_view text, bool) override { m_units += text.size(); }

private:
    std::size_t m_units = 0;
};

TestSupport::TempDir& folder() {
    static TestSupport::TempDir dir;
    return dir;
}

} // namespace

void quietLog() {
    if (Log::installed() == nullptr)
        Log::install(std::make_unique<DiscardingLogger>());
}

std::u16string scratchFile(std::string_view name, const std::uint8_t* data, std::size_t size) {
    const auto path = folder().path() / std::string(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                   static_cast<std::streamsize>(size));
    return Platform::fromNativePath(path.string());
}

std::u16string scratchFolder() { return Platform::fromNativePath(folder().path().string()) + u"/"; }

} // namespace FuzzInput
