#pragma once
// The light form of a mapped file, for files read once from end to end:
// no pool, no release; the view stays mapped until it is destroyed.

#include "platform/Mapping.h"

#include <cstdint>
#include <string>

namespace FileSystem {

// A mapped window of a whole file; unmapped when destroyed.
class WholeFileView {
public:
    WholeFileView() = default;
    WholeFileView(const std::uint8_t* base, std::uint64_t size) : m_base(base), m_size(size) {}
    ~WholeFileView();
    WholeFileView(WholeFileView&& other) noexcept;
    WholeFileView& operator=(WholeFileView&& other) noexcept;
    WholeFileView(const WholeFileView&) = delete;
    WholeFileView& operator=(const WholeFileView&) = delete;

    // Null when nothing is mapped.
    const std::uint8_t* base() const { return m_base; }
    std::uint64_t offset() const { return 0; }
    std::uint64_t size() const { return m_size; }

private:
    const std::uint8_t* m_base = nullptr;
    std::uint64_t m_size = 0;
};

class WholeFileMapping {
public:
    // Opens the file; failures are logged ("CreateFileMapping failed (err
    // %d)", "filename = '%s'", level Critical) and leave it not open.
    explicit WholeFileMapping(std::u16string path);
    // Takes a file the caller opened already (logged the same way when it
    // is not open).
    WholeFileMapping(std::u16string path, Platform::MappableFile file);

    bool isOpen() const { return m_file.isOpen(); }
    std::uint64_t size() const { return m_file.size(); }
    // The whole file, or an empty view after logging "MapViewOfFile(%d, %d)
    // failed (err %d)" and the file name (an empty file cannot be mapped).
    // The view outlives this object.
    WholeFileView mapWhole() const;

private:
    std::u16string m_path;
    Platform::MappableFile m_file;
};

} // namespace FileSystem
