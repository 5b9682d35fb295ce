// The map page's periodic update and its input: gestures are recorded by
// the input operations and turned into view steps by the tick.

#include "screens/fdPageMap.h"
#include "screens/MapWarnings.h"
#include "screens/fdPageMapMenu.h"
#include "core/Log.h"
#include "render/RenderStyles.h"
#include "render/ViewPreparation.h"

#include "map/KVAtlas.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "positioning/System.h"
#include "screens/SensorsPanel.h"
#include "ui/ButtonBindings.h"
#include "ui/SoundPlayer.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

namespace Screens {

void fdPageMap::setChecked(Ui::fdWindowBase* widget, bool checked) {
    if (auto* button = dynamic_cast<Ui::fdCheckedButton*>(widget); button != nullptr && button->checked() != checked) {
        button->setChecked(checked);
        button->invalidate(0);
    }
}

void fdPageMap::dayNightStep() {
    if (m_dayNight)
        m_dayNight->tick();
}

void fdPageMap::tick(std::uint32_t now) {
    // A widget shown or hidden by this tick changes the frame; texts and
    // pictures invalidate themselves when they change.
    std::vector<bool> shown;
    shown.reserve(m_children.size());
    for (const Ui::fdWindowBase* child : m_children)
        shown.push_back(child->visible());
    applyOnlineFlags();
    // A demo whose route was edited stands still for ever: it ends, and the
    // menu offers to start it again.
    if (m_services.navigation != nullptr && m_services.navigation->demoRunning() &&
        m_services.navigation->demoRouteChanged())
        stopDemo();
    // Following the car again, the car stands where its setting puts it.
    if (m_followGps)
        restoreAnchor();
    carStep(now);

    dayNightStep();

    if (m_menu != nullptr)
        m_menu->autoHide(now);
    if (m_popup != nullptr && !m_popupWaits && m_services.config) {
        const int seconds = m_services.config->value("menu_autohide", 7);
        if (seconds != 0 && now - m_popupShownMs > static_cast<std::uint32_t>(seconds) * 1000u)
            closePopup();
    }
    streetLabelsStep();
    fdPage::tick(now);
    gestureStep(now);

    if (m_services.renderer != nullptr) {
        m_services.renderer->setMouseMotion(m_pressed);
        const SDL_Surface* screen = SDL_GetVideoSurface();
        const int w = screen != nullptr ? screen->w : m_rect.w;
        const int h = screen != nullptr ? screen->h : m_rect.h;
        const int n = m_services.renderer->proportion() > 0 ? m_services.renderer->proportion() : 3;
        m_services.renderer->setFocusPoint(xe::Point{w / 2, h * (n - 1) / n});
    }
    m_dragX = m_dragY = 0;
    receivedPointsStep(now);
    trackStep();
    noticeStep();

    // The map frame changed (camera, loaded data, route, styles), or the
    // full frame that follows a fast one is still due.
    if (m_services.atlas != nullptr) {
        const Map::AtlasViewFields& view = m_services.atlas->view();
        if (view.redrawRequest() != Map::AtlasViewFields::NoRedraw || view.frameState() != MapDrawing::FrameComplete)
            invalidate(1);
    }
    for (std::size_t i = 0; i < m_children.size() && i < shown.size(); ++i)
        if (m_children[i]->visible() != shown[i]) {
            invalidate(1);
            break;
        }
}

void fdPageMap::carStep(std::uint32_t now) {
    MapCarSource* car = m_services.car;
    MapDrawing::fdMapRenderer* renderer = m_services.renderer;
    for (Ui::fdWindowBase* w : m_warnings)
        if (w != nullptr)
            w->setVisible(false);
    // The handler's car and guidance had their frame in this pass of the
    // main loop, before the sensors were read, whatever page is shown; the
    // demo steps here, alone. Without a demo the car is read under the car
    // lock, and when the GPS side or an atlas switch holds it only this part
    // waits for the next tick: the steps below work from what was read last.
    // Guidance as the sensors read it for this frame, before the demo's
    // step: the turn panel shows the distance of the "To the turn" sensor
    // drawn beside it. Read after the step, the two stood 10 m apart where
    // the distance crossed one of the panel's steps in between.
    if (car != nullptr)
        m_guidance = car->guidance();
    const bool demo = car != nullptr && car->stepDemo();
    if (car != nullptr && (demo || car->tryTakeCarState())) {
        m_carFix = car->currentFix();
        const Positioning::CarState shown = car->shownCar();
        const bool follow = m_followGps && m_carFix && renderer != nullptr && m_services.atlas != nullptr &&
                            m_services.camera != nullptr;
        if (follow) {
            const MapDrawing::CarState state{m_carFix->position, m_carFix->headingDegrees, m_carFix->speed};
            std::optional<MapDrawing::FollowOverride> override;
            if (shown.valid)
                override = MapDrawing::FollowOverride{shown.position.toGlobal(), shown.heading};
            if (renderer->followCar(m_follow, now, *m_services.camera, *m_services.atlas, state, override))
                invalidate(1);
        } else {
            m_follow.timeMs = now;
            m_follow.rotation = m_services.camera != nullptr ? m_services.camera->rotation() : 0.0f;
        }
        m_warned = car->warnedObject();
        if (!demo)
            car->releaseCarState();

        const float scale = m_services.camera != nullptr ? m_services.camera->scale() : 1.0f;
        if (Positioning::CarState::differs(shown, m_lastCar, scale))
            invalidate(1);
        m_lastCar = shown;
    }
    dangerPointsStep(m_carFix);
    if (car != nullptr) {
        roadMarksStep(m_guidance);
        // The open map menu lies where the warnings are: they wait.
        if (m_menu == nullptr || !m_menu->isOpen())
            warningsStep(m_guidance, m_warned);
    }
    indicatorsStep(m_guidance);
}

// The current and the next street, unless a pop-up shows the tapped point's
// address and street in the same labels.
void fdPageMap::streetLabelsStep() {
    if (m_popup != nullptr || m_services.sensors == nullptr)
        return;
    for (auto [label, sensor] : {std::pair{m_upperBoxTurn, "cur_street"}, std::pair{m_upperBox, "next_street"}}) {
        auto* box = dynamic_cast<Ui::fdStatic*>(label);
        if (box == nullptr)
            continue;
        std::u16string text = m_services.sensors->valueText(sensor);
        // The sensors' dash for "no value" is no street name.
        if (text == u"-")
            text.clear();
        if (box->text() != text) {
            box->setText(text);
            box->invalidate(0);
            // Rare (once a street), and what the driver reads first.
            Log::log(Log::Info, u"Street box %hs: \"%s\"", box->name(), text);
        }
    }
}

void fdPageMap::dangerPointsStep(const std::optional<CarFix>& fix) {
    Map::Proximity::IndexHolder* holder = m_services.dangerPoints;
    const Map::Proximity::ProximityEvent* nearest = nullptr;
    m_events.clear();
    if (holder != nullptr && holder->index && fix &&
        Map::Proximity::findEvents(*holder, m_events, fix->position, fix->speed, fix->headingDegrees)) {
        for (const auto& event : m_events)
            if (nearest == nullptr || event.distanceDecimetres() < nearest->distanceDecimetres())
                nearest = &event;
    }
    if (nearest != nullptr && m_proximityWarn != nullptr && (m_menu == nullptr || !m_menu->isOpen()))
        m_proximityWarn->show(*nearest, poiIcon(Map::Proximity::poiTypeOf(nearest->point.kind(),
                                                                         nearest->point.speedLimit())));
    if (nearest == nullptr || !nearest->overSpeed()) {
        m_lastWarned = {0, 0};
        return;
    }
    const std::array<std::uint32_t, 2> id{static_cast<std::uint32_t>(nearest->point.x),
                                          static_cast<std::uint32_t>(nearest->point.y)};
    if (id == m_lastWarned)
        return;
    if (m_services.sound != nullptr && m_services.sound->menuSoundsOn())
        m_services.sound->play(6, {200});
    m_lastWarned = id;
}

Render::Image* fdPageMap::poiIcon(std::uint16_t type) {
    if (m_services.renderer == nullptr)
        return nullptr;
    const Render::PoiStyle* style = m_services.renderer->styles().poiStyle(type);
    return style != nullptr ? style->icon : nullptr;
}

void fdPageMap::warningsStep(const GuidanceState& guidance, const std::optional<WarnedObject>& warned) {
    if (m_maneuverWarn != nullptr && guidance.running && guidance.hasParts) {
        // Off the route the distance means something only while the
        // approach to the route is tracked.
        if (guidance.outOfPath) {
            if (!guidance.approachOff)
                m_maneuverWarn->showOffRoute(guidance.approachMetres);
        } else if (guidance.maneuverKnown) {
            m_maneuverWarn->show(guidance.maneuverType, guidance.maneuverMetres, guidance.roundaboutExit);
        }
    }
    // Only an incoming object (warnedObject) counts, and only while the car
    // follows the route.
    if (m_poiWarn != nullptr && warned && guidance.running && guidance.hasParts && !guidance.outOfPath)
        m_poiWarn->show(poiIcon(warned->poiType), warned->metres);
}

void fdPageMap::roadMarksStep(const GuidanceState& guidance) {
    const RoadMarks before = m_roadMarks;
    m_roadMarks.reset(m_services.atlas != nullptr ? m_services.atlas->mapCount() : 0);
    if (guidance.running && guidance.hasParts && !guidance.outOfPath && guidance.maneuverKnown)
        m_roadMarks.add(guidance.maneuverMap, guidance.maneuverRoad);
    if (m_lastCar.valid && m_lastCar.onRoad)
        m_roadMarks.add(m_lastCar.mapIndex, m_lastCar.polylineId);
    // The frame on screen stands until asked: new marks must be drawn even
    // while the view keeps still.
    if (!(m_roadMarks == before) && m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
}

void fdPageMap::indicatorsStep(const GuidanceState& guidance) {
    setChecked(m_naviIndicator, guidance.running);
    // The receiver's own state: the demo's simulated fix does not light it.
    const Positioning::System* gps = m_services.positioning;
    setChecked(m_gpsIndicator, gps != nullptr && gps->isEnabled() && gps->hasFix());
}

void fdPageMap::gestureStep(std::uint32_t now) {
    if (m_gestures.applyStates(now, m_useTiboButtons, m_services.deltas))
        invalidate(0);
    GestureStep step = m_gestures.take(now, m_services.deltas, true);
    if (m_followGps)
        step.angle = 0.0f;
    if ((m_dragX != 0 || m_dragY != 0 || step.ran) && m_services.renderer != nullptr)
        m_services.renderer->moveView(static_cast<float>(m_dragX), static_cast<float>(m_dragY), step.factor,
                                      step.angle);
}

void fdPageMap::receivedPointsStep(std::uint32_t now) {
    auto* button = dynamic_cast<Ui::fdButtonX*>(m_receivedPoints);
    if (button == nullptr)
        return;
    if (m_blinkStart != 0) {
        if (now >= m_blinkStart + 120000u) {
            m_blinkStart = 0;
        } else if ((((now - m_blinkStart) / 500u) & 1u) != (m_blinkCount & 1u)) {
            button->swapNormalAndPressed();
            button->invalidate(0);
            ++m_blinkCount;
        }
    }
    if (m_blinkStart == 0 && m_blinkCount != 0) {
        if (m_blinkCount & 1u) {
            button->swapNormalAndPressed();
            button->invalidate(0);
        }
        m_blinkCount = 0;
    }
}

// --- input --------------------------------------------------------------

bool fdPageMap::mouseButtonDown(int button, int x, int y) {
    if (fdPage::mouseButtonDown(button, x, y))
        return true;
    if (button == 4 || button == 5) {
        const float fixed = m_services.deltas.scaleFixed;
        m_gestures.addOneShot(button == 4 ? fixed : 1.0f / fixed);
        invalidate(1);
        return true;
    }
    return false;
}

bool fdPageMap::press(int x, int y) {
    if (m_services.sound != nullptr && m_services.sound->menuSoundsOn())
        m_services.sound->play(1, {73});
    if (fdPage::press(x, y))
        return true;
    m_pressed = true;
    invalidate(0);
    m_lastX = m_pressX = x;
    m_lastY = m_pressY = y;
    m_dragged = false;
    if (m_services.renderer != nullptr)
        m_services.renderer->setDragAnchor(xe::Point{x, y});
    return true;
}

bool fdPageMap::mouseMove(int x, int y) {
    if (!m_pressed)
        return fdPage::mouseMove(x, y);
    m_dragX += x - m_lastX;
    m_dragY += y - m_lastY;
    if (m_dragX * m_dragX + m_dragY * m_dragY > 5)
        m_dragged = true;
    m_lastX = x;
    m_lastY = y;
    if (m_followGps) {
        m_followGps = false;
        showRotateButtons(true);
    }
    invalidate(0);
    return true;
}

bool fdPageMap::release(int x, int y) {
    // A press a child took is that child's release.
    if (!m_pressed)
        return fdPage::release(x, y);
    const int r = m_services.fingerTap;
    const int dx = m_pressX - x, dy = m_pressY - y;
    if (r != 0 && dx * dx + dy * dy <= r * r)
        m_dragged = false;
    const bool onGround = !isThreeD() || m_services.atlas == nullptr || y >= m_services.atlas->view().horizonRow;
    if (onGround && !m_dragged) {
        tapAt(m_lastX, m_lastY);
        invalidate(1);
    }
    m_pressed = false;
    invalidate(0);
    return true;
}

void fdPageMap::tapAt(int x, int y) {
    ++m_tapCount;
    Map::Point point;
    if (m_services.camera == nullptr || !m_services.camera->screenToMap(xe::Point{x, y}, point) ||
        (m_menu != nullptr && m_menu->isOpen()))
        return;
    mapPointAction(point);
    standClearOfTappedPoint();
}

bool fdPageMap::keyDown(int key) {
    const std::uint32_t now = ui()->now();
    const SDL_keysym keysym = Ui::keysymOf(key);
    const Ui::ButtonBindings* b = m_services.bindings;
    std::string action;
    const bool bound = b != nullptr && b->actionForKey(keysym, action);
    if (m_useTiboButtons && bound) {
        if (Ui::fdPage* page = ui()->findPage(action)) {
            if (ui()->activePage() != nullptr)
                ui()->goToPage(page);
            else
                ui()->activatePage(page);
        }
        return true;
    }
    const bool leftKey = b != nullptr && (b->rotated() ? key == b->up || key == b->kp8 : key == b->left || key == b->kp4);
    const float fixed = m_services.deltas.scaleFixed;
    if (leftKey) {
        m_gestures.rotateLeft = MapGestures::Held;
        m_gestures.holdRotation(+1, now);
    } else if (b != nullptr && b->isRightKey(keysym)) {
        m_gestures.rotateRight = MapGestures::Held;
        m_gestures.holdRotation(-1, now);
    } else if (b != nullptr && b->isUpKey(keysym)) {
        if (m_useTiboButtons) {
            m_gestures.addOneShot(fixed);
        } else {
            m_gestures.scaleUp = MapGestures::Held;
            m_gestures.holdScale(+1, now);
        }
    } else if (b != nullptr && b->isDownKey(keysym)) {
        if (m_useTiboButtons) {
            m_gestures.addOneShot(1.0f / fixed);
        } else {
            m_gestures.scaleDown = MapGestures::Held;
            m_gestures.holdScale(-1, now);
        }
    } else if (bound) {
        ui()->goToPageByName(action);
    }
    invalidate(0);
    return true;
}

bool fdPageMap::keyUp(int) {
    m_gestures.rotateLeft = m_gestures.rotateRight = MapGestures::Idle;
    m_gestures.scaleUp = m_gestures.scaleDown = MapGestures::Idle;
    GestureStep step = m_gestures.take(ui()->now(), m_services.deltas, false);
    if (m_followGps)
        step.angle = 0.0f;
    if (!step.ran)
        return false;
    if (m_services.renderer != nullptr)
        m_services.renderer->moveView(0.0f, 0.0f, step.factor, step.angle);
    return true;
}

void fdPageMap::childPressed(const std::string& name) {
    const auto set = [this](int& state, int value) {
        state = value;
        invalidate(0);
    };
    if (name == "rotate_camera" && m_rotateCamera != nullptr) {
        if (m_rotateCamera->lastChild() == "rotate_right")
            set(m_gestures.rotateRight, MapGestures::Held);
        else if (m_rotateCamera->lastChild() == "rotate_left")
            set(m_gestures.rotateLeft, MapGestures::Held);
    } else if (name == "bt3") {
        set(m_gestures.scaleUp, MapGestures::Held);
    } else if (name == "bt4") {
        set(m_gestures.scaleDown, MapGestures::Held);
    }
}

void fdPageMap::childReleased(const std::string& name) {
    const auto set = [this](int& state) {
        state = MapGestures::Released;
        invalidate(0);
    };
    if (name == "rotate_camera" && m_rotateCamera != nullptr) {
        if (m_rotateCamera->lastChild() == "rotate_right")
            set(m_gestures.rotateRight);
        else if (m_rotateCamera->lastChild() == "rotate_left")
            set(m_gestures.rotateLeft);
    } else if (name == "bt3") {
        set(m_gestures.scaleUp);
    } else if (name == "bt4") {
        set(m_gestures.scaleDown);
    }
}

} // namespace Screens
