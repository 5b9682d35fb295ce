#pragma once
// Pages and template windows: the two kinds of window built from the design
// by running its widget creators.

#include "ui/DesignTypes.h"
#include "ui/fdWindowBase.h"

namespace Ui {

class fdPage : public fdWindowPage {
public:
    // Attached to the interface at once; filled with 0x0073A6 (RGB).
    fdPage(fdInterface* ui, std::string name, DesignContext* context);

    virtual void onShow() {}
    virtual void onHide() {}
    virtual void beforeBuild() {}
    virtual void afterBuild() {}
    // A page that invalidates itself whenever what it shows changes is
    // drawn only then, not on every tick of its timer.
    virtual bool drawsOnlyWhenInvalidated() const { return false; }
    // A page whose ticks move what it shows on their own (a followed car, a
    // turning view) is drawn at most once per period of its UI timer: the
    // timer's expose event draws it, and the other expose events (the main
    // loop's for a page left invalidated, a fast frame's call for the full
    // one) wait for the timer's next. Its animations step by time, so they
    // keep their speed.
    virtual bool framesPacedByUiTimer() const { return false; }

    // Runs once per page: the font, then every creator's create, then every
    // creator's link, in document order.
    void build(const PageDescription& description);
    // A page the design does not describe is built from a stand-in template
    // instead (a title and a way back), so that opening it never strands
    // the user; the template's rectangle should cover the design.
    void buildStandIn(const TemplateDescription& standIn, const std::string& font);
    bool built() const { return m_built; }
    DesignContext* designContext() const { return m_context; }

    // Runs the commands every page understands: "close" (quit), "hide" (to
    // the tray) and "back" (the previous page). True when the name was one
    // of them.
    bool handleCommonCommand(const std::string& name);
    // The common commands; pages override it for their own and fall back
    // to it.
    void childClicked(const std::string& name) override;

protected:
    DesignContext* m_context;
    void buildFrom(const CreatorList& creators, const GroupRecords& groups, const std::string& font);
    bool m_built = false;
};

// A window made from a design template; clicks of its children reach its
// parent as its own name, and the child's name is kept for the parent to
// ask.
class TemplateWindow : public fdWindowPage {
public:
    // Builds the children and moves the window to the template's place;
    // the caller runs relayout afterwards.
    TemplateWindow(const TemplateDescription& description, fdWindowBase* parent, std::string name, fdInterface* ui,
                   DesignContext* context);

    void childClicked(const std::string& name) override;
    void childPressed(const std::string& name) override;
    void childReleased(const std::string& name) override;

    const std::string& lastChild() const { return m_lastChild; }
    fdWindowBase* background() const { return m_background; }

private:
    std::string m_lastChild;
    fdWindowBase* m_background = nullptr;
};

} // namespace Ui
