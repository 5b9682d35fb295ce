#pragma once
// What the search pages use of the rest of the program, handed to each by
// the page factory. Any member may be missing; the pages then do without.

#include "core/ConfigNode.h"
#include "map/Point.h"

#include <functional>
#include <optional>

namespace Core {
class MessageTable;
}
namespace Map {
class CategorizedWayPointsProvider;
class KVAtlas;
} // namespace Map
namespace Render {
class RenderStyles;
}
namespace TextSearch {
class Engine;
}
namespace Ui {
class ButtonBindings;
class KeyboardLayouts;
} // namespace Ui

namespace Screens {

struct SearchServices {
    // The atlas's text search (it lives as long as the atlas).
    TextSearch::Engine* engine = nullptr;
    Map::KVAtlas* atlas = nullptr;
    const Core::MessageTable* messages = nullptr;
    // The configuration's root node.
    Core::ConfigNodePtr config;
    const Ui::KeyboardLayouts* layouts = nullptr;
    const Ui::ButtonBindings* bindings = nullptr;
    Map::CategorizedWayPointsProvider* waypoints = nullptr;
    Render::RenderStyles* styles = nullptr;
    // The car's map point while the car tracker knows it.
    std::function<std::optional<Map::Point>()> carPosition;
    // Whether the online service exists (its pages are offered then).
    bool online = false;
};

} // namespace Screens
