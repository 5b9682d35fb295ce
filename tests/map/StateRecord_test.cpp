#include "map/AtlasViewFields.h"
#include "map/StateRecord.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using Map::StateRecord;

StateRecord ofType(std::uint32_t type, std::uint32_t index) {
    StateRecord r;
    r.mapType = type;
    r.mapIndex = index;
    return r;
}

std::vector<std::uint32_t> indexes(const std::vector<StateRecord>& records) {
    std::vector<std::uint32_t> out;
    for (const StateRecord& r : records)
        out.push_back(r.mapIndex);
    return out;
}

TEST(StateRecord, KindRankSortsWorldCountryCity) {
    std::vector<StateRecord> records = {ofType(3, 0), ofType(0, 1), ofType(2, 2)};
    Map::sortForDrawing(records);
    EXPECT_EQ(indexes(records), (std::vector<std::uint32_t>{0, 2, 1}));

    // Region-like kinds between country and city; unknown types rank with
    // the world maps.
    records = {ofType(0, 0), ofType(5, 1), ofType(2, 2), ofType(200, 3)};
    Map::sortForDrawing(records);
    EXPECT_EQ(indexes(records), (std::vector<std::uint32_t>{3, 2, 1, 0}));

    const std::pair<std::uint32_t, int> ranks[] = {{0, 4}, {1, 3}, {4, 3}, {5, 3}, {6, 3}, {2, 2}, {3, 1}, {7, 1}, {0xFFFFFFFFu, 1}};
    for (const auto& [type, rank] : ranks)
        EXPECT_EQ(Map::Nearest::kindRank(type), rank) << type;
    EXPECT_FALSE(StateRecord::drawsBefore(ofType(1, 0), ofType(4, 0)));
    EXPECT_TRUE(StateRecord::drawsBefore(ofType(9, 0), ofType(1, 0)));
}

TEST(StateRecord, RedrawRequestsCrossThreads) {
    Threading::SdlMutex mutex("mutex");
    Map::AtlasViewFields view(mutex);
    EXPECT_EQ(view.horizonRow, -1);
    view.setRedrawRequest(Map::AtlasViewFields::SmallRedraw);
    EXPECT_EQ(view.redrawRequest(), 1u);
    view.requestRedraw();
    EXPECT_EQ(view.takeRedrawRequest(), 2u);
    EXPECT_EQ(view.redrawRequest(), 0u);
    {
        // A caller already holding the (recursive) atlas mutex may call in.
        Threading::SdlLock held(mutex);
        view.requestRedraw();
        EXPECT_EQ(view.redrawRequest(), 2u);
    }
    // A request made on another thread reaches the frame's take.
    view.takeRedrawRequest();
    std::thread other([&] { view.requestRedraw(); });
    std::uint32_t taken = Map::AtlasViewFields::NoRedraw;
    while (taken == Map::AtlasViewFields::NoRedraw)
        taken = view.takeRedrawRequest();
    other.join();
    EXPECT_EQ(taken, 2u);
}

} // namespace
