#include "userdata/TrackPainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Nine times the mean squared step once the n / 20 (at least one) shortest
// and as many longest steps are left out; the first step when none is left.
std::int64_t trimmedReference(const std::vector<xe::Point>& points) {
    std::vector<std::int64_t> steps;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const std::int64_t dx = std::int64_t{points[i].x} - points[i - 1].x;
        const std::int64_t dy = std::int64_t{points[i].y} - points[i - 1].y;
        steps.push_back(dx * dx + dy * dy);
    }
    const std::size_t k = std::max<std::size_t>(points.size() / 20, 1);
    if (steps.size() <= 2 * k) return 9 * steps[0];
    std::sort(steps.begin(), steps.end());
    std::int64_t sum = 0;
    for (std::size_t i = k; i < steps.size() - k; ++i)
        sum += steps[i];
    return 9 * (sum / static_cast<std::int64_t>(steps.size() - 2 * k));
}

TEST(TrackStepThreshold, MatchesABruteForceTrimmedMean) {
    std::mt19937 random(57);
    std::vector<std::int64_t> window;
    for (int round = 0; round < 400; ++round) {
        const std::size_t n = 2 + random() % (round < 200 ? 30 : 400);
        const int spread = 1 + static_cast<int>(random() % (round % 3 == 0 ? 4 : 30000));
        std::vector<xe::Point> points;
        xe::Point at{static_cast<std::int32_t>(random() % 100), 0};
        for (std::size_t i = 0; i < n; ++i) {
            points.push_back(at);
            // Mostly short steps with now and then a jump, repeats included.
            const int reach = random() % 10 == 0 ? spread : spread / 8 + 1;
            at.x += static_cast<std::int32_t>(random() % (2 * reach + 1)) - reach;
            at.y += static_cast<std::int32_t>(random() % (2 * reach + 1)) - reach;
        }
        ASSERT_EQ(trackStepThreshold(points.data(), n, window), trimmedReference(points))
            << "round " << round << " n " << n;
    }
}

} // namespace
