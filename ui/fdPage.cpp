#include "ui/fdPage.h"

#include "ui/EngineServices.h"
#include "ui/fdInterface.h"

namespace Ui {

fdPage::fdPage(fdInterface* ui, std::string name, DesignContext* context)
    : fdWindowPage(ui, std::move(name), true, ui), m_context(context) {
    setFillColor(0x00, 0x73, 0xA6, true);
}

void fdPage::build(const PageDescription& description) {
    buildFrom(description.creators, description.groups, description.font);
}

void fdPage::buildStandIn(const TemplateDescription& standIn, const std::string& font) {
    buildFrom(standIn.creators, standIn.groups, font);
}

void fdPage::buildFrom(const CreatorList& creators, const GroupRecords& groups, const std::string& font) {
    beforeBuild();
    m_built = true;
    if (!font.empty() && m_ui) {
        setFont(m_ui->fontByName(font));
        setTextColor(m_ui->textColors());
    }
    forgetGroups(groups);
    for (const auto& creator : creators)
        creator->create(this, *m_ui, m_context, false);
    for (const auto& creator : creators)
        creator->link(this, *m_ui);
    afterBuild();
}

bool fdPage::handleCommonCommand(const std::string& name) {
    EngineServices* engine = m_ui ? m_ui->engine() : nullptr;
    if (name == "close") {
        if (engine)
            engine->setQuit();
        return true;
    }
    if (name == "hide") {
        if (engine)
            engine->hideToTray();
        return true;
    }
    if (name == "back") {
        if (m_ui)
            m_ui->goBack();
        return true;
    }
    return false;
}

void fdPage::childClicked(const std::string& name) { handleCommonCommand(name); }

TemplateWindow::TemplateWindow(const TemplateDescription& description, fdWindowBase* parent, std::string name,
                               fdInterface* ui, DesignContext* context)
    : fdWindowPage(parent, std::move(name), true, ui) {
    const WindowRect& pd = parent ? parent->designRect() : WindowRect{};
    // Radio groups of an earlier window of this template (a list row, a
    // keyboard opened before) may be gone: this window makes its own.
    forgetGroups(description.groups);
    // Built at the design's origin, so that the creators' rectangles (which
    // are relative to the whole design) land inside the template.
    m_designRect = {0, 0, static_cast<std::uint16_t>(description.w), static_cast<std::uint16_t>(description.h)};
    setOwnRect(-pd.x, -pd.y, description.w, description.h);
    for (const auto& creator : description.creators) {
        fdWindowBase* created = creator->create(this, *ui, context, false);
        if (created && created->name() == "bg_image")
            m_background = created;
    }
    for (const auto& creator : description.creators)
        creator->link(this, *ui);
    m_designRect = {static_cast<std::int16_t>(description.x), static_cast<std::int16_t>(description.y),
                    static_cast<std::uint16_t>(description.w), static_cast<std::uint16_t>(description.h)};
    setOwnRect(description.x - pd.x, description.y - pd.y, description.w, description.h);
}

void TemplateWindow::childClicked(const std::string& name) {
    m_lastChild = name;
    if (m_parent)
        m_parent->childClicked(m_name);
}

void TemplateWindow::childPressed(const std::string& name) {
    m_lastChild = name;
    if (m_parent)
        m_parent->childPressed(m_name);
}

void TemplateWindow::childReleased(const std::string& name) {
    m_lastChild = name;
    if (m_parent)
        m_parent->childReleased(m_name);
}

} // namespace Ui
