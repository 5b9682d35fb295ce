#pragma once
// How the POI type choosers hand a choice back to the page that opened
// them. The opener makes a callback, gives it to the chooser (which holds
// it shared) and goes there; the chooser reports once and lets it go.

#include <cstdint>
#include <vector>

namespace Screens {

class SelectPoiTypeResultCallback {
  public:
    // The "no type" value a chooser may report when allowsNone is true.
    static constexpr std::uint16_t NoType = 0xFFFF;

    virtual ~SelectPoiTypeResultCallback() = default;
    // Whether the chooser may report NoType when nothing is chosen.
    virtual bool allowsNone() const = 0;
    virtual void result(std::uint16_t type) = 0;
    // The chooser was left with "back".
    virtual void cancelled() {}
};

class SelectPoiTypesResultCallback {
  public:
    virtual ~SelectPoiTypesResultCallback() = default;
    // The checked types, sorted.
    virtual void result(const std::vector<std::uint16_t>& types) = 0;
    // The chooser was left with "back".
    virtual void cancelled() {}

    SelectPoiTypesResultCallback() = default;
    SelectPoiTypesResultCallback(const SelectPoiTypesResultCallback&) = delete;
    SelectPoiTypesResultCallback& operator=(const SelectPoiTypesResultCallback&) = delete;
};

} // namespace Screens
