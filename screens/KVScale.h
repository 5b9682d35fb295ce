#pragma once
// The scale ruler of the map page: a black and white ruler of the widget's
// width with the round distance that fits into it marked, and the distance
// written into the page's "scale_label".

#include "ui/fdWindowBase.h"

#include <string>

class MapCamera;
namespace Core {
class MessageTable;
}

namespace Screens {

class KVScale : public Ui::fdWindowBase {
public:
    // messages (may be null): the unit words of the label.
    KVScale(Ui::fdWindowBase* parent, Ui::fdInterface* ui, MapCamera* camera,
            const Core::MessageTable* messages = nullptr);

    void tick(std::uint32_t now) override;
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;

    // The greatest ruler value (metres) not above m; 1,000,000 from there on.
    static int niceValue(float metres);
    // "200 m", "1.5 km", "2 km": as the rest of the program writes
    // distances, the number, a space and the unit word of the messages
    // ("meter", "kilo_meter"; "m" and "km" without them).
    static std::u16string labelText(int metres, const Core::MessageTable* messages);
    // Metres that widthPixels cover at the view's scale (pixels per global
    // unit) and latitude; 0 for a zero width or scale.
    static float rulerMetres(int widthPixels, float scale, float latitudeDegrees);

    float metres() const { return m_metres; }
    // For a widget drawn without a tick (tests, the first frame).
    void setMetres(float metres) { m_metres = metres; }

private:
    MapCamera* m_camera;
    const Core::MessageTable* m_messages;
    float m_metres = 0.0f;
};

} // namespace Screens
