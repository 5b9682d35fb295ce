#pragma once
// The clipboard, with the open/close discipline of the system clipboard the
// program's callers expect: data blocks by format number, only one owner
// holding it open at a time.
//
// With an X11 video window it is the X11 CLIPBOARD selection: setting data
// takes the selection through the SDL window, and while the program owns it
// the main loop hands the window system's events to handleWindowEvent, which
// answers other programs' requests for UTF8_STRING and STRING. Text another
// program owns is read (UTF8_STRING, else STRING) with a bounded wait and
// offered as Unicode text. Without such a window (the dummy video driver)
// the blocks stay in a store inside the program.

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

union SDL_Event;

namespace Platform {

class Clipboard {
public:
    // Format numbers as the program's callers know them.
    static constexpr unsigned kText = 1;
    static constexpr unsigned kBitmap = 2;
    static constexpr unsigned kOemText = 7;
    static constexpr unsigned kUnicodeText = 13;

    // The longest wait for another program's answer when pasting.
    static constexpr int kPasteWaitMs = 1000;

    static Clipboard& instance();

    // True when an X11 video window is open, so that the clipboard is the
    // system's one.
    static bool systemClipboard();

    // False, with the last error set to 5 (access denied), when another
    // owner has it open.
    bool open(const void* owner);
    void close();

    // The calls below need the clipboard open by the caller.
    bool isFormatAvailable(unsigned format) const;
    // The block of the format; empty with the last error set when it is not
    // there, or (system clipboard) when its owner did not answer in time
    // (1460) or answered in a way not read here (50).
    std::optional<std::vector<std::uint8_t>> data(unsigned format) const;
    // Replaces the block of this format; other formats stay while the
    // program keeps the clipboard. False, with the last error set, when the
    // system clipboard could not be taken.
    bool setData(unsigned format, std::vector<std::uint8_t> block);
    // Removes every format.
    void empty();

    // A window-system event from the main loop: answers requests for the
    // text the program owns and forgets it when another program takes the
    // clipboard. True when the event was the clipboard's.
    bool handleWindowEvent(const SDL_Event& event);

    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

private:
    Clipboard() = default;

    struct Block {
        unsigned format;
        std::vector<std::uint8_t> bytes;
    };
    // Text read from another program, once per opening.
    struct Foreign {
        bool read = false;
        bool text = false;
        int error = 0;
        std::vector<std::uint8_t> block;
    };

    const Block* ownBlock(unsigned format) const;
    bool ownsSystemClipboard() const;
    void readForeign() const;

    mutable std::mutex m_mutex;
    std::vector<Block> m_blocks;
    bool m_open = false;
    const void* m_owner = nullptr;
    bool m_system = false;
    unsigned long m_window = 0;
    mutable Foreign m_foreign;
};

} // namespace Platform
