#pragma once
// The scale ruler of the map page: a black and white ruler of the widget's
// width with the round distance that fits into it marked, and the distance
// written into the page's "scale_label".

#include "ui/fdWindowBase.h"

#include <string>

class MapCamera;

namespace Screens {

class KVScale : public Ui::fdWindowBase {
public:
    KVScale(Ui::fdWindowBase* parent, Ui::fdInterface* ui, MapCamera* camera);

    void tick(std::uint32_t now) override;
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;

    // The greatest ruler value (metres) not above m; 1,000,000 from there on.
    static int niceValue(float metres);
    // "200m", "1,5km", "2km".
    static std::u16string labelText(int metres);
    // Metres that widthPixels cover at the view's scale (pixels per global
    // unit) and latitude; 0 for a zero width or scale.
    static float rulerMetres(int widthPixels, float scale, float latitudeDegrees);

    float metres() const { return m_metres; }
    // For a widget drawn without a tick (tests, the first frame).
    void setMetres(float metres) { m_metres = metres; }

private:
    MapCamera* m_camera;
    float m_metres = 0.0f;
};

} // namespace Screens
