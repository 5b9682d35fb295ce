#pragma once
// The clipboard: an in-process store of data blocks by format number, with
// the open/close discipline of a system clipboard. Only one owner may have it
// open at a time; opening it while another thread holds it open fails.

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace Platform {

class Clipboard {
public:
    // Format numbers as the program's callers know them.
    static constexpr unsigned kText = 1;
    static constexpr unsigned kBitmap = 2;
    static constexpr unsigned kOemText = 7;
    static constexpr unsigned kUnicodeText = 13;

    static Clipboard& instance();

    // False, with the last error set to 5 (access denied), when another
    // owner has it open.
    bool open(const void* owner);
    void close();

    // The calls below need the clipboard open by the caller.
    bool isFormatAvailable(unsigned format) const;
    // The block of the format; empty with the last error set when it is not
    // there.
    std::optional<std::vector<std::uint8_t>> data(unsigned format) const;
    // Replaces the block of this format; other formats stay.
    bool setData(unsigned format, std::vector<std::uint8_t> block);
    // Removes every format.
    void empty();

    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

private:
    Clipboard() = default;

    struct Block {
        unsigned format;
        std::vector<std::uint8_t> bytes;
    };

    mutable std::mutex m_mutex;
    std::vector<Block> m_blocks;
    bool m_open = false;
    const void* m_owner = nullptr;
};

} // namespace Platform
