#pragma once
// What positioning needs of the interface's messages table: the text of a
// message by name (the port search's progress lines). The table itself
// lives in the user interface, which implements this.

#include <string>
#include <string_view>

namespace Positioning {

class MessageTexts {
  public:
    virtual ~MessageTexts() = default;
    // The text stored under `name`, or an empty text when there is none.
    virtual const std::u16string& text(std::string_view name) const = 0;
};

} // namespace Positioning
