#pragma once
// One map of an atlas as drawing, search and routing see it: its paths and
// its section readers. KVMap2 is the implementation.

#include <string>

namespace Map {

namespace File {
class StringsSectionReader;
class GeometrySectionReader;
class AddressSectionReader;
class RoutingSectionReader;
class TextSearchSectionReader;
class SpatialSearchSectionReader;
} // namespace File

class KvMap {
  public:
    virtual ~KvMap() = default;
    // The full path of the map file.
    virtual const std::u16string& filePath() const = 0;
    // The file name as the atlas lists it (the `src` of atlas.xml).
    virtual const std::u16string& sourceName() const = 0;
    virtual File::StringsSectionReader& stringsReader() = 0;
    virtual File::GeometrySectionReader& geometryReader() = 0;
    virtual File::AddressSectionReader& addressReader() = 0;
    virtual File::RoutingSectionReader& routingReader() = 0;
    virtual File::TextSearchSectionReader& textSearchReader() = 0;
    virtual File::SpatialSearchSectionReader& spatialSearchReader() = 0;

    KvMap() = default;
    KvMap(const KvMap&) = delete;
    KvMap& operator=(const KvMap&) = delete;
};

} // namespace Map
