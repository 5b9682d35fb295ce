#pragma once
// The source list the text-search index seeds are built for: a .tsi is only
// searched when its stored list matches the atlas's.

#include "map/IndexSourceList.h"

namespace FuzzSources {

inline Map::IndexSourceList textSearchSources() {
    Map::IndexSourceList list;
    for (char16_t i = 0; i < 3; ++i)
        list.records.push_back({u"m0" + std::u16string(1, static_cast<char16_t>(u'0' + i)) + u".kvm", 1000u + i});
    return list;
}

} // namespace FuzzSources
