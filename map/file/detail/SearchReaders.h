#pragma once
// Construction of the text-search and spatial-search section readers for
// the map file container. The container holds these readers through
// forward-declared types, so it depends only on the two factories below;
// SearchReaders.cpp is the one place that knows the reader classes.

#include "map/file/SectionView.h"

#include <cstdint>
#include <memory>

namespace Map::File {

class TextSearchSectionReader;
class SpatialSearchSectionReader;

namespace detail {

// Both throw the reader's own FormatError messages (an unknown version, a
// section too small for its header).
std::shared_ptr<TextSearchSectionReader> makeTextSearchReader(std::uint16_t version,
                                                              std::shared_ptr<SectionView> view);
std::shared_ptr<SpatialSearchSectionReader> makeSpatialSearchReader(std::uint16_t version,
                                                                    std::shared_ptr<SectionView> view);

} // namespace detail
} // namespace Map::File
