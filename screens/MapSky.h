#pragma once
// The sky band of the pitched 3D view: a panorama picture repeated sideways
// above the horizon, shifted with the view's rotation, the day or the night
// picture as the display mode is.

#include "ui/fdWindowBase.h"

class MapCamera;

namespace Map {
class KVAtlas;
}
namespace Render {
class Image;
}

namespace Screens {

class MapSky : public Ui::fdWindowBase {
public:
    // The pictures belong to the interface's image list.
    MapSky(Ui::fdWindowBase* parent, Ui::fdInterface* ui, Map::KVAtlas* atlas, MapCamera* camera,
           Render::Image* day, Render::Image* night);

    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;

    // The horizontal offset of the picture for a view rotation (radians),
    // the picture width already scaled.
    static int offsetFor(float rotation, int scaledWidth);

private:
    // The picture scaled to the rectangle's size and blitted there.
    void drawScaled(Render::Image& picture, SDL_Surface* surface, const SDL_Rect& destination);

    Map::KVAtlas* m_atlas;
    MapCamera* m_camera;
    Render::Image* m_day;
    Render::Image* m_night;
};

} // namespace Screens
