#pragma once
// The table of user-visible texts by name, read from messages.xml:
//     <messages>
//         <message name="meter" text="m" />
//     </messages>
// Texts are UTF-8 in the file and wide in the table. Loaded once at start-up,
// read-only afterwards.

#include "core/MessageTable.h"

#include <map>
#include <string>
#include <string_view>

namespace FileSystem {
class FileRW;
}

class Messages final : public Core::MessageTable {
public:
    Messages() = default;

    // Reads the whole file and adds its messages. Throws std::runtime_error
    // "Can't read messages file" when the file cannot be read, and one naming
    // the fault when it is not XML. A file without the root "messages" adds
    // nothing; a "message" without "name" or "text" is skipped; of two with
    // the same name the first stays. A read failure's log line names the
    // file by the path given.
    void load(FileSystem::FileRW& file, std::u16string_view path = {});
    // The same for the file's text.
    void loadText(std::string text);

    // The text under the name, or the empty text (no entry is created).
    const std::u16string& text(std::string_view name) const override;

    std::size_t size() const { return m_texts.size(); }

private:
    std::map<std::string, std::u16string, std::less<>> m_texts;
};
