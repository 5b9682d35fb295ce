#pragma once
// The widget creators: one per widget element of a design template or
// page. Each holds the element's values, makes the widget under its parent
// when a page or template is built (create) and then connects it to the
// widgets made by the other creators (link).

#include "ui/DesignTypes.h"
#include "ui/TxtRenderer.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rapidxml {
template <class Ch> class xml_node;
}

namespace Ui {

class fdButtonX;
class fdStatic;

// What a creator needs of the design while it reads its element.
struct CreatorContext {
    bool big = false;
    // The owner's group records (checked buttons join by name).
    GroupRecords* groups = nullptr;
    // The design's templates (list rows).
    const std::map<std::string, std::unique_ptr<TemplateDescription>>* templates = nullptr;
};

// Font, colours and effect of a text.
struct TextGraphics {
    std::string font;
    std::optional<ColourPair> colours;
    std::int32_t effectKind = 0;
    std::optional<ColourPair> effectColours;
    bool any() const { return !font.empty() || colours || effectColours; }
};

class IWidgetCreatorBase : public IWidgetCreator {
public:
    const std::string& name() const { return m_name; }
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    std::int32_t ltHorz = 0, ltVert = 0, rbHorz = 0, rbVert = 0;

protected:
    // Reads name and geometry (doubled for a big design); geometry may be
    // absent only for custom elements.
    void readCommon(const rapidxml::xml_node<char>* element, const CreatorContext& context, bool geometryRequired);
    // Construct, place in the parent's design, anchor, relayout.
    void place(fdWindowBase& widget) const;
    std::string m_name;
};

// "custom": the parent (a page) makes the widget.
class CustomCreator : public IWidgetCreatorBase {
public:
    CustomCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;

    std::string schema;
    // Bit 0 geometry, 1 alignment, 2 text, 4 image, 5 material, 6 images,
    // 7 materials.
    std::uint32_t presence = 0;
    std::optional<int> horzAlign, vertAlign;
    std::u16string caption;
    std::int32_t linesCount = 1;
    std::string imagePath, materialName;
    std::vector<std::string> images, materials;
};

// Static, label and multi-static: a click may toggle a checked button.
class ICheckedButtonLabelCreator : public IWidgetCreatorBase {
public:
    void link(fdWindowBase* parent, fdInterface& ui) override;
    std::string checkedButton;

protected:
    void readToggle(const rapidxml::xml_node<char>* element);
};

class IStaticCreator : public ICheckedButtonLabelCreator {
public:
    IStaticCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    std::string image, material;
};

class ILabelCreator : public ICheckedButtonLabelCreator {
public:
    ILabelCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    std::u16string caption;
    std::int32_t linesCount = 1;
    TextGraphics graphics;
    std::optional<int> horzAlign, vertAlign;
    bool sliding = false;
};

class IMultiStaticCreator : public ICheckedButtonLabelCreator {
public:
    IMultiStaticCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    std::vector<std::string> images;
};

class IButtonCreator : public IWidgetCreatorBase {
public:
    IButtonCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    // The description label becomes the button's long-press pop-up.
    void link(fdWindowBase* parent, fdInterface& ui) override;

    struct State {
        std::string image, material;
        TextGraphics text;
    };
    std::string icon;
    std::u16string caption;
    bool round = false;
    std::int32_t sensitivity = 0;
    std::vector<State> states;
    std::string descLabel, url;

protected:
    // Looks, caption, link and sensitivity of a made button.
    void setUp(fdButtonX& button, fdInterface& ui) const;
};

class ICheckedButtonCreator : public IButtonCreator {
public:
    ICheckedButtonCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    CheckedGroupRecord* group = nullptr;
};

class IRotationBoxCreator : public IWidgetCreatorBase {
public:
    IRotationBoxCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    std::int32_t sensitivity = 0;
    std::string image;
};

class IListCreator : public IWidgetCreatorBase {
public:
    IListCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    // Rows one list builds, and all lists nested in its rows together: far
    // more than a screen shows.
    static constexpr std::uint32_t MaxRows = 1024;
    const std::map<std::string, std::unique_ptr<TemplateDescription>>* templates;
    std::string selectionImage, selectionMaterial, itemTemplate;
};

class ISliderCreator : public IWidgetCreatorBase {
public:
    ISliderCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    bool vertical = false;
    bool big = false;
    std::string image, material, thumb;
};

class IProgressBarCreator : public IWidgetCreatorBase {
public:
    IProgressBarCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);
    fdWindowBase* create(fdWindowBase* parent, fdInterface& ui, DesignContext* context, bool clickable) override;
    bool vertical = false;
    std::string image, material, foreground;
};

// The creator of a widget element, or null for an element of another name.
// Throws detail::DesignError when a required part is missing.
std::unique_ptr<IWidgetCreator> makeCreator(const rapidxml::xml_node<char>* element, const CreatorContext& context);

} // namespace Ui
