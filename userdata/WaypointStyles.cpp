#include "userdata/WaypointStyles.h"

#include "render/ImageList.h"
#include "render/RenderStyles.h"

const Render::StyleSet& RenderWaypointStyles::set() const {
    return m_styles.activeSet() != nullptr ? *m_styles.activeSet() : m_styles.daySet();
}

const Render::PoiStyle* RenderWaypointStyles::poiStyle(std::uint16_t type) {
    const auto& styles = set().poiStyles;
    const auto it = styles.find(type);
    return it == styles.end() ? nullptr : &it->second;
}

std::vector<Render::Image*> RenderWaypointStyles::typeIcons() {
    return set().poiIcons;
}

Render::Image* RenderWaypointStyles::loadImage(const std::string& name) {
    return m_images != nullptr ? m_images->loadImage(name) : nullptr;
}
