#pragma once
// The byte windows the section readers work on. A view covers one range of a
// map file; the resource pool may take its bytes away at any time, so a
// reader asks for them again (acquire) before every access and treats a null
// answer as a failed read. A mapped view of the file layer implements this
// interface; MemoryView serves tests and files held in memory.

#include <cstdint>
#include <memory>
#include <vector>

namespace Map::File {

class SectionView {
public:
    virtual ~SectionView() = default;
    // The first byte of the range, mapping it again when it was released;
    // null when that fails.
    virtual const std::uint8_t* acquire() = 0;
    virtual std::uint64_t size() const = 0;
};

// Makes views of byte ranges of one file (the routing blocks are located by
// file offsets). Returns null when the range cannot be viewed, in particular
// when it passes the end of the file.
class ViewFactory {
public:
    virtual ~ViewFactory() = default;
    virtual std::shared_ptr<SectionView> view(std::uint64_t offset, std::uint64_t size) = 0;
};

// A view of a range of bytes kept in memory. setAvailable(false) makes every
// acquire fail, as a released view that cannot be mapped again does.
class MemoryView : public SectionView {
public:
    MemoryView(std::shared_ptr<const std::vector<std::uint8_t>> bytes, std::uint64_t offset,
               std::uint64_t size);
    explicit MemoryView(std::vector<std::uint8_t> bytes);

    const std::uint8_t* acquire() override;
    std::uint64_t size() const override { return m_size; }
    void setAvailable(bool available) { m_available = available; }

private:
    std::shared_ptr<const std::vector<std::uint8_t>> m_bytes;
    std::uint64_t m_offset;
    std::uint64_t m_size;
    bool m_available = true;
};

// A whole file held in memory.
class MemoryFile : public ViewFactory {
public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes);
    std::shared_ptr<SectionView> view(std::uint64_t offset, std::uint64_t size) override;
    const std::vector<std::uint8_t>& bytes() const { return *m_bytes; }

private:
    std::shared_ptr<const std::vector<std::uint8_t>> m_bytes;
};

} // namespace Map::File
