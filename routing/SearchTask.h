#pragma once
// One route search's start and finishes.

#include "routing/SearchPosition.h"

#include <cstdint>
#include <memory>
#include <vector>

struct SearchTarget {
    std::uint8_t reached = 0;
    std::unique_ptr<Map::Routing::SearchPosition> position;
};

class SearchTask {
  public:
    explicit SearchTask(std::uint32_t finishLimit = 10) : finishLimit(finishLimit) {}
    SearchTask(const SearchTask&) = delete;
    SearchTask& operator=(const SearchTask&) = delete;
    ~SearchTask() {
        targets.clear();
        source.reset();
    }

    // Adds a finish position; its index, or -1 when the list already holds
    // finishLimit entries (the position is then dropped).
    int addTarget(std::unique_ptr<Map::Routing::SearchPosition> position) {
        if (!position || targets.size() >= finishLimit) return -1;
        targets.push_back(SearchTarget{0, std::move(position)});
        return static_cast<int>(targets.size() - 1);
    }

    std::uint32_t finishLimit;
    // The search runs on the reversed graph: it finds routes that end at the source.
    bool backward = false;
    std::unique_ptr<Map::Routing::SearchPosition> source;
    std::vector<SearchTarget> targets;
    std::uint32_t reachedCount = 0;
};
