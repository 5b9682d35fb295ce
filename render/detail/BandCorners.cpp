#include "render/detail/BandCorners.h"

#include <algorithm>
#include <cstring>

namespace xe::detail {

namespace {

constexpr std::size_t kHeaderWords = 4; // projection, count, normal length, width

std::array<std::int32_t, 25> projectionWords(const BandKey& key) {
    std::array<std::int32_t, 25> words{};
    std::memcpy(words.data(), key.matrix->data(), 16 * sizeof(std::int32_t));
    std::memcpy(words.data() + 16, key.viewport->data(), 9 * sizeof(std::int32_t));
    return words;
}

bool sameProjection(const std::array<std::int32_t, 25>& words, const BandKey& key) {
    return std::memcmp(key.matrix->data(), words.data(), 16 * sizeof(std::int32_t)) == 0 &&
           std::memcmp(key.viewport->data(), words.data() + 16, 9 * sizeof(std::int32_t)) == 0;
}

std::uint64_t mix(std::uint64_t h, std::uint64_t word) {
    h = (h ^ word) * 0x9E3779B97F4A7C15u;
    return h ^ (h >> 29);
}

} // namespace

int BandCornerStore::findProjection(const BandKey& key) const {
    // A frame's bands come cell by cell: the last projection is the likely one.
    if (lastProjection_ < projections_.size() && sameProjection(projections_[lastProjection_], key))
        return static_cast<int>(lastProjection_);
    for (std::size_t i = 0; i < projections_.size(); ++i)
        if (sameProjection(projections_[i], key)) {
            lastProjection_ = static_cast<std::uint32_t>(i);
            return static_cast<int>(i);
        }
    return -1;
}

std::uint32_t BandCornerStore::projectionOf(const BandKey& key) {
    int found = findProjection(key);
    if (found < 0) {
        projections_.push_back(projectionWords(key));
        found = static_cast<int>(projections_.size() - 1);
    }
    lastProjection_ = static_cast<std::uint32_t>(found);
    return lastProjection_;
}

// From a few of the inputs: a band found by its hash is compared whole.
std::uint64_t BandCornerStore::hashOf(const BandKey& key, std::uint32_t projection) {
    auto pointWord = [](const Point& p) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32 |
               static_cast<std::uint32_t>(p.y);
    };
    std::uint64_t h =
        mix(static_cast<std::uint64_t>(projection) << 32 | static_cast<std::uint32_t>(key.count),
            static_cast<std::uint64_t>(static_cast<std::uint32_t>(key.normalLength)) << 32 |
                static_cast<std::uint32_t>(key.width));
    h = mix(h, pointWord(key.points[0]));
    h = mix(h, pointWord(key.points[key.count - 1]));
    return mix(h, pointWord(key.normals[0]));
}

bool BandCornerStore::sameBand(const Record& record, const BandKey& key, std::uint32_t projection) const {
    const std::int32_t* w = words_.data() + record.words;
    if (w[0] != static_cast<std::int32_t>(projection) || w[1] != key.count || w[2] != key.normalLength ||
        w[3] != key.width)
        return false;
    const std::size_t n = static_cast<std::size_t>(key.count);
    static_assert(sizeof(Point) == 2 * sizeof(std::int32_t));
    return std::memcmp(w + kHeaderWords, key.points, n * sizeof(Point)) == 0 &&
           std::memcmp(w + kHeaderWords + 2 * n, key.normals, (n - 1) * sizeof(Point)) == 0;
}

// The table slot holding the band, or the empty slot where it would go
// (as -1 - slot).
std::int64_t BandCornerStore::slotOf(std::uint64_t hash, const BandKey& key, std::uint32_t projection) const {
    const std::size_t mask = table_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::int32_t entry = table_[slot];
        if (entry == 0) return -1 - static_cast<std::int64_t>(slot);
        const Record& record = records_[static_cast<std::size_t>(entry - 1)];
        if (record.hash == hash && sameBand(record, key, projection)) return static_cast<std::int64_t>(slot);
    }
}

void BandCornerStore::rebuildTable() {
    std::size_t size = std::max<std::size_t>(table_.size(), 1024);
    while (size < 2 * (records_.size() + 1))
        size *= 2;
    table_.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        std::size_t slot = records_[i].hash & mask;
        while (table_[slot] != 0)
            slot = (slot + 1) & mask;
        table_[slot] = static_cast<std::int32_t>(i + 1);
    }
}

void BandCornerStore::keep(const BandKey& key, const KeptCorner* corners, std::size_t count) {
    if (key.count < 2) return;
    const std::uint32_t projection = projectionOf(key);
    if (2 * (records_.size() + 1) > table_.size()) rebuildTable();
    const std::uint64_t hash = hashOf(key, projection);
    const std::int64_t slot = slotOf(hash, key, projection);
    if (slot >= 0) return;
    const std::size_t n = static_cast<std::size_t>(key.count);
    Record record{hash, static_cast<std::uint32_t>(words_.size()),
                  static_cast<std::uint32_t>(corners_.size())};
    words_.push_back(static_cast<std::int32_t>(projection));
    words_.push_back(key.count);
    words_.push_back(key.normalLength);
    words_.push_back(key.width);
    const std::size_t at = words_.size();
    words_.resize(at + 2 * n + 2 * (n - 1));
    std::memcpy(words_.data() + at, key.points, n * sizeof(Point));
    std::memcpy(words_.data() + at + 2 * n, key.normals, (n - 1) * sizeof(Point));
    corners_.insert(corners_.end(), corners, corners + count);
    records_.push_back(record);
    table_[static_cast<std::size_t>(-1 - slot)] = static_cast<std::int32_t>(records_.size());
}

const KeptCorner* BandCornerStore::find(const BandKey& key) const {
    if (records_.empty() || key.count < 2) return nullptr;
    const int projection = findProjection(key);
    if (projection < 0) return nullptr;
    const auto p = static_cast<std::uint32_t>(projection);
    // The bodies come in the order of the borders (both passes walk the
    // same cells and items): the band after the last one found is the
    // likely one, and needs no hash.
    if (next_ < records_.size() && sameBand(records_[next_], key, p))
        return corners_.data() + records_[next_++].corners;
    const std::int64_t slot = slotOf(hashOf(key, p), key, p);
    if (slot < 0) return nullptr;
    next_ = static_cast<std::size_t>(table_[static_cast<std::size_t>(slot)]);
    return corners_.data() + records_[next_ - 1].corners;
}

void BandCornerStore::clear() {
    projections_.clear();
    lastProjection_ = 0;
    next_ = 0;
    words_.clear();
    corners_.clear();
    records_.clear();
    std::fill(table_.begin(), table_.end(), 0);
}

} // namespace xe::detail
