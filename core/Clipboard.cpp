#include "core/Clipboard.h"

#include "core/Log.h"
#include "core/Text.h"
#include "platform/Clipboard.h"
#include "platform/Error.h"

#include <new>

namespace Clipboard {
namespace {

using Store = Platform::Clipboard;

// Opens the clipboard for the scope; logs when it cannot.
class OpenClipboard {
public:
    explicit OpenClipboard(const void* window) : m_open(Store::instance().open(window)) {
        if (!m_open)
            Log::log(Log::Critical, u"Can't open clipboard (err %d)", Platform::lastError());
    }
    ~OpenClipboard() {
        if (m_open)
            Store::instance().close();
    }
    OpenClipboard(const OpenClipboard&) = delete;
    OpenClipboard& operator=(const OpenClipboard&) = delete;
    explicit operator bool() const { return m_open; }

private:
    bool m_open;
};

} // namespace

bool canPaste(const void* window) {
    OpenClipboard clip(window);
    if (!clip)
        return false;
    const Store& s = Store::instance();
    return s.isFormatAvailable(Store::kUnicodeText) || s.isFormatAvailable(Store::kText) ||
           s.isFormatAvailable(Store::kOemText);
}

std::u16string paste(const void* window) {
    OpenClipboard clip(window);
    if (!clip)
        return {};
    const Store& s = Store::instance();
    if (s.isFormatAvailable(Store::kUnicodeText)) {
        const auto block = s.data(Store::kUnicodeText);
        if (!block) {
            Log::log(Log::Critical, u"Can't paste Unicode text (err %d)", Platform::lastError());
            return {};
        }
        const std::size_t units = block->size() / 2;
        if (units < 2) {
            Log::log(Log::Normal, u"Pasting empty Unicode text");
            return {};
        }
        // Up to the first zero, and never past the block's last unit.
        std::u16string text;
        for (std::size_t i = 0; i + 1 < units; ++i) {
            const auto c = static_cast<char16_t>((*block)[2 * i] | ((*block)[2 * i + 1] << 8));
            if (c == 0)
                break;
            text.push_back(c);
        }
        return text;
    }
    if (s.isFormatAvailable(Store::kText) || s.isFormatAvailable(Store::kOemText)) {
        const auto block = s.data(Store::kText);
        if (!block) {
            Log::log(Log::Critical, u"Can't paste Ansi text (err %d)", Platform::lastError());
            return {};
        }
        if (block->size() < 2) {
            Log::log(Log::Normal, u"Pasting empty Ansi text");
            return {};
        }
        std::size_t length = 0;
        while (length + 1 < block->size() && (*block)[length] != 0)
            ++length;
        return Core::ansiToWide(std::string_view(reinterpret_cast<const char*>(block->data()), length));
    }
    return {};
}

void copy(const void* window, std::u16string_view text) {
    OpenClipboard clip(window);
    if (!clip)
        return;
    std::vector<std::uint8_t> block;
    try {
        block.resize((text.size() + 1) * 2);
    } catch (const std::bad_alloc&) {
        Platform::setLastError(Platform::ErrorNotEnoughMemory);
        Log::log(Log::Critical, u"Can't allocate Unicode text buffer for %d chars (err %d)", text.size() + 1,
                 Platform::lastError());
        return;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        block[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        block[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    if (!Store::instance().setData(Store::kUnicodeText, std::move(block)))
        Log::log(Log::Critical, u"Can't paste Unicode text (err %d)", Platform::lastError());
}

} // namespace Clipboard
