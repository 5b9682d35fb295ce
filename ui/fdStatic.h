#pragma once
// The basic visible widget: a background (a renderer, a material or a plain
// colour) and one text; and the widget that cycles through several images.

#include "ui/BgRenderers.h"
#include "ui/Material.h"
#include "ui/fdWindowBase.h"

#include <memory>
#include <string>
#include <vector>

namespace Ui {

class fdStatic : public fdWindowBase {
public:
    fdStatic(fdWindowBase* parent, std::string name, bool attach, fdInterface* ui)
        : fdWindowBase(parent, std::move(name), attach, ui) {}
    ~fdStatic() override;

    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;
    // With an own behaviour (and visible) that behaviour decides alone.
    bool press(int x, int y) override;
    bool release(int x, int y) override;

    // The whole image (no borders).
    virtual void setImage(Render::Image* image);
    virtual void setMaterial(const Material& material);
    virtual void setHorzAlign(int value) { m_hAlign = value; }
    virtual void setVertAlign(int value) { m_vAlign = value; }
    virtual void setText(const std::u16string& text);
    // Renderer, else material, else colour.
    virtual void drawBackground(SDL_Surface* surface, TempSurface& clip);
    virtual void drawText(SDL_Surface* surface);

    // Replaces (and deletes) the renderer; the new one gets the image.
    void setBgRenderer(std::unique_ptr<BgRenderer> renderer);
    BgRenderer* bgRenderer() const { return m_bgRenderer.get(); }
    // 0xAABBGGRR: alpha 0 no colour, 255 a fill, otherwise blended.
    void setColor(std::uint32_t colour);
    // Replaces (and deletes) the own behaviour.
    void setBehavior(std::unique_ptr<ClickBehavior> behavior);
    ClickBehavior* behavior() const { return m_behavior.get(); }

    const std::u16string& text() const { return m_text; }
    const Material& material() const { return m_material; }
    std::uint32_t color() const { return m_colour; }
    int horzAlign() const { return m_hAlign; }
    int vertAlign() const { return m_vAlign; }

protected:
    std::u16string m_text;
    std::unique_ptr<BgRenderer> m_bgRenderer;
    Material m_material;
    int m_hAlign = 1;
    int m_vAlign = 1;
    std::uint32_t m_colour = 0;
    std::unique_ptr<ClickBehavior> m_behavior;
};

class fdMultiStatic : public fdStatic {
public:
    using fdStatic::fdStatic;

    TimerPeriod timerPeriod() const override;
    // Advances as many frames as the time since the last step holds.
    void tick(std::uint32_t now) override;

    // -1 shows no image; an index past the images is ignored.
    void setCurrent(std::int32_t index);
    // 0 stops on the current frame.
    void setAnimationPeriod(std::uint32_t ms);
    std::vector<Render::Image*>& images() { return m_images; }
    std::int32_t current() const { return m_current; }

private:
    std::vector<Render::Image*> m_images;
    std::int32_t m_current = -1;
    std::uint32_t m_clock = 0;
    std::uint32_t m_period = 0;
};

} // namespace Ui
