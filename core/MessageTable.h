#pragma once
// The lookup of user-visible texts by name that the core's formatting needs.
// The messages table of the user interface (read from messages.xml)
// implements it; the core only asks.

#include <string>
#include <string_view>

namespace Core {

class MessageTable {
public:
    virtual ~MessageTable() = default;
    // The text stored under the name in the interface language; an empty text
    // (no error, no log line) when the name is unknown. The reference stays
    // valid as long as the table does.
    virtual const std::u16string& text(std::string_view name) const = 0;

    MessageTable() = default;
    MessageTable(const MessageTable&) = delete;
    MessageTable& operator=(const MessageTable&) = delete;
};

} // namespace Core
