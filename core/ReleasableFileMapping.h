#pragma once
// A read-only mapped file whose mapping and windows ("views") the resource
// pool may release at any time; each takes its memory back on next use.
//
// The mapping registers in a pool of mappings (the process-wide one holds 10)
// and owns a pool of capacity 3 for its own views, so a fourth view releases
// the oldest. When mapping a window runs out of address space (error 14) the
// other views of the same file are released first, then every other mapping
// of the parent pool, and the window is tried again until nothing more can be
// freed. Offsets and sizes of windows are u32 as asked, their sums 64-bit: a
// window that does not lie inside the file is refused, never mapped.

#include "core/FileRW.h"
#include "core/ResourcesPool.h"
#include "platform/Mapping.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace FileSystem {

// The files that were gone (deleted or moved away while in use) when their
// mapping, released by the pool, was opened again: each path once, in the
// order found, since the last call. Any thread may find one; the engine
// takes them on the main thread and tells the driver.
std::vector<std::u16string> takeVanishedFiles();

class ReleasableFileMapping : public Core::ResourcesPool::Resource {
public:
    class View;
    class ViewFileRW;

    // File size reported before the file was ever opened.
    static constexpr std::uint64_t UnknownSize = 0xFFFFFFFF;

    // Registers in pool, then opens the file (failures are logged; test
    // isHeld or fileSize).
    ReleasableFileMapping(Core::ResourcesPool& pool, std::u16string path);
    // Releases the file and every view. Views still held elsewhere stay
    // valid objects that read nothing.
    ~ReleasableFileMapping() override;

    // Opens the file when it is not open; logs "CreateFileMapping failed
    // (err %d)" and "filename = '%s'" at level Critical when it cannot.
    bool acquire() override;
    // Closes the file and releases every view.
    void release() override;
    bool isHeld() const override { return m_file.isOpen(); }

    // A view of size bytes at offset; offset 0 and size 0 mean the whole
    // file. Empty when the window is not inside the file (no log line) or
    // when mapping fails (logged). Opens the file again when it was released.
    std::shared_ptr<View> createView(std::uint32_t offset, std::uint32_t size);

    const std::u16string& path() const { return m_path; }
    // Size at the last successful open; UnknownSize before any.
    std::uint64_t fileSize() const { return m_fileSize; }
    // How the file at the path differs from the one first opened there
    // (Platform::fileChange): a file deleted, cut short or replaced while in
    // use, whether its mapping is held or released. None before any open.
    Platform::FileChange changeOnDisk() const;
    std::uint32_t granularity() const { return m_granularity; }
    Core::ResourcesPool& viewPool() { return m_viewPool; }

protected:
    // Hooks for derived classes, run after a successful open and after a
    // release that closed the file.
    virtual void afterAcquire() {}
    virtual void afterRelease() {}
    void poolDestroyed() override;

private:
    friend class View;
    // Maps the window of a view; null on failure (logged, except a window
    // outside the file). mappedLength receives the length to unmap.
    const std::uint8_t* mapWindow(std::uint32_t offset, std::uint32_t size, std::uint64_t& mappedLength);

    std::u16string m_path;
    Platform::MappableFile m_file;
    std::uint64_t m_fileSize = UnknownSize;
    // The file as it was first opened: failing to open it again means it
    // went away.
    std::optional<Platform::FileIdentity> m_firstOpened;
    std::uint32_t m_granularity;
    Core::ResourcesPool m_viewPool;
};

class ReleasableFileMapping::View : public Core::ResourcesPool::Resource {
public:
    ~View() override;

    // Maps the window again when it was released: opens the file when
    // needed and touches it in its pool. False when that fails.
    bool acquire() override;
    void release() override;
    bool isHeld() const override { return m_base != nullptr; }
    // Acquires a released view and touches it in the view pool; true when
    // the view is mapped. Readers call this before every access.
    bool ensureMapped();

    // Address of the mapped window, null while released; it maps the file
    // from offset rounded down to the granularity.
    const std::uint8_t* base() const { return m_base; }
    std::uint32_t delta() const { return m_delta; }
    // The view's first byte (base + delta), null while released. Valid until
    // the pool releases the view: any later registration, createView or
    // acquire in the same pool tree may do so, so call ensureMapped again
    // after those.
    const std::uint8_t* data() const { return m_base ? m_base + m_delta : nullptr; }
    std::uint32_t offset() const { return m_offset; }
    std::uint32_t size() const { return m_size; }
    std::uint64_t mappedLength() const { return m_mappedLength; }
    // Null once the mapping was destroyed.
    ReleasableFileMapping* mapping() const { return m_mapping; }

private:
    friend class ReleasableFileMapping;
    // Made by createView only; registers in the mapping's view pool.
    View(ReleasableFileMapping* mapping, const std::uint8_t* base, std::uint64_t mappedLength,
         std::uint32_t offset, std::uint32_t size);
    void poolDestroyed() override;

    ReleasableFileMapping* m_mapping;
    const std::uint8_t* m_base;
    std::uint64_t m_mappedLength;
    std::uint32_t m_delta;
    std::uint32_t m_offset;
    std::uint32_t m_size;
};

// A FileRW over one view, read-only, starting at position 0.
class ReleasableFileMapping::ViewFileRW : public FileRW {
public:
    explicit ViewFileRW(std::shared_ptr<View> view);

    // Acquires a released view; true when it is mapped.
    bool isOpen() const override;
    int lastError() const override;
    std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    // Always fails with 6009 (the file is read-only).
    std::size_t write(const void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::uint32_t tell() override { return m_position; }
    // Beyond the view's size: last error 87.
    bool seek(std::int32_t position) override;
    // Before the start: last error 131; beyond the size: 87.
    bool seekRelative(std::int32_t offset) override;
    bool seekToEnd() override;
    void flush() override {}

    const std::shared_ptr<View>& view() const { return m_view; }

private:
    std::shared_ptr<View> m_view;
    std::uint32_t m_position = 0;
};

} // namespace FileSystem
