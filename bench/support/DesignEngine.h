#pragma once
// What the benchmarks of pages built from the shipped design share: an
// engine stand-in that serves the design, and reading a data file whole.

#include "ui/DesignDescription.h"
#include "ui/EngineServices.h"

#include <fstream>
#include <sstream>
#include <string>

namespace Bench {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A day-time 800 x 480 engine with the design read into description.
struct DesignEngine : Ui::EngineServices {
    void setQuit() override {}
    bool hideToTray() override { return true; }
    std::u16string dataPath(std::u16string_view name) const override { return std::u16string(name); }
    bool isDay() const override { return true; }
    bool doubleSize() const override { return false; }
    std::int32_t designWidth() const override { return 800; }
    std::int32_t designHeight() const override { return 480; }
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

} // namespace Bench
