#pragma once
// The parsed pieces of a design that the window tree builds from: widget
// creators, checked-button group records, page and template descriptions.
// The design reader fills them; pages and template windows are built from
// them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ui {

class fdCheckedButton;
class fdInterface;
class fdWindowBase;

// The page factory's per-page context, handed through to every creator;
// opaque to the framework.
struct DesignContext;

// Radio buttons of one name in one built page or row.
struct CheckedGroup {
    std::string name;
    std::vector<fdCheckedButton*> members;
};

// One group name of a description. The first checked button of a build
// makes the group object; a new build forgets it (the buttons of the old
// build keep theirs).
struct CheckedGroupRecord {
    std::string name;
    CheckedGroup* group = nullptr;
};

class IWidgetCreator {
public:
    virtual ~IWidgetCreator() = default;
    // Makes the widget under the parent (owned by the tree) or null.
    virtual fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) = 0;
    // Connects the widget to others made by the same build.
    virtual void link(fdWindowBase* /*parent*/, fdInterface& /*ui*/) {}

    IWidgetCreator() = default;
    IWidgetCreator(const IWidgetCreator&) = delete;
    IWidgetCreator& operator=(const IWidgetCreator&) = delete;
};

using CreatorList = std::vector<std::unique_ptr<IWidgetCreator>>;
using GroupRecords = std::vector<std::unique_ptr<CheckedGroupRecord>>;

struct PageDescription {
    CreatorList creators;
    GroupRecords groups;
    std::string font;
};

struct TemplateDescription {
    std::string name;
    CreatorList creators;
    GroupRecords groups;
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    // Left-top (horizontal, vertical), right-bottom (horizontal, vertical).
    std::int32_t ltHorz = 0, ltVert = 0, rbHorz = 0, rbVert = 0;
};

inline void forgetGroups(const GroupRecords& groups) {
    for (const auto& g : groups)
        g->group = nullptr;
}

} // namespace Ui
