#pragma once
// Background renderers of static widgets: an image stretched to a fixed
// size, scaled by a whole factor, rotated (the map page's compass), aligned,
// or a colour bar. The stretched and rotated pictures are computed once per
// image, size or angle.

#include <SDL/SDL_video.h>

#include <cstdint>

class TempSurface;

namespace Render {
class Image;
}

namespace Ui {

class BgRenderer {
public:
    virtual ~BgRenderer() = default;
    // Colour 0x00BBGGRR.
    virtual void setColor(std::uint32_t) {}
    virtual void setImage(Render::Image*) {}
    // 2 stretched, 3 rotated, 4 aligned, 5 colour line, 6 whole scale.
    virtual int kind() const = 0;
    virtual void draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) = 0;

    BgRenderer() = default;
    BgRenderer(const BgRenderer&) = delete;
    BgRenderer& operator=(const BgRenderer&) = delete;
};

class StretchedImageBgRenderer : public BgRenderer {
public:
    StretchedImageBgRenderer(std::int32_t width, std::int32_t height) : m_width(width), m_height(height) {}
    ~StretchedImageBgRenderer() override;
    void setImage(Render::Image* image) override;
    int kind() const override { return 2; }
    void draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) override;

private:
    void rebuild();
    Render::Image* m_image = nullptr;
    std::int32_t m_width, m_height;
    bool m_rebuild = true;
    SDL_Surface* m_scaled = nullptr;
};

// The image as large as a whole factor lets it be within the rectangle,
// centred: each of its pixels an equal square, so that a small icon shown
// large stays sharp (a stretch by 4.8 makes pixels of 4 and 5 and looks
// blocky). An image larger than the rectangle is shrunk to fit, its
// proportions kept.
class WholeScaleImageBgRenderer : public BgRenderer {
public:
    WholeScaleImageBgRenderer() = default;
    ~WholeScaleImageBgRenderer() override;
    void setImage(Render::Image* image) override;
    int kind() const override { return 6; }
    void draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) override;
    // Where an image of that size is drawn within the rectangle.
    static SDL_Rect placement(int width, int height, const SDL_Rect& rect);

private:
    void freeScaled();
    Render::Image* m_image = nullptr;
    // The image enlarged by m_factor, made at the first draw at that factor.
    SDL_Surface* m_scaled = nullptr;
    int m_factor = 0;
};

class RotatedImageBgRenderer : public BgRenderer {
public:
    ~RotatedImageBgRenderer() override;
    void setImage(Render::Image* image) override;
    int kind() const override { return 3; }
    void draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) override;
    void setAngle(float degrees);
    float angle() const { return m_angle; }

private:
    void rebuild();
    void freeRotated();
    Render::Image* m_image = nullptr;
    float m_angle = 0.0f;
    SDL_Surface* m_rotated = nullptr;
};

class AlignedImageBgRenderer : public BgRenderer {
public:
    void setImage(Render::Image* image) override { m_image = image; }
    int kind() const override { return 4; }
    void draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) override;
    void setAlignment(int hAlign, int vAlign) {
        m_hAlign = hAlign;
        m_vAlign = vAlign;
    }

private:
    Render::Image* m_image = nullptr;
    int m_hAlign = 1;
    int m_vAlign = 1;
};

// A horizontal bar across the rectangle, 2 x half thickness high at most,
// centred vertically.
class ColorLineBgRenderer : public BgRenderer {
public:
    explicit ColorLineBgRenderer(std::uint16_t halfThickness) : m_half(halfThickness) {}
    void setColor(std::uint32_t colour) override;
    int kind() const override { return 5; }
    void draw(SDL_Surface* surface, const SDL_Rect& rect, TempSurface& clip) override;

private:
    std::uint8_t m_rgb[3] = {0, 0, 0};
    std::uint16_t m_half;
};

} // namespace Ui
