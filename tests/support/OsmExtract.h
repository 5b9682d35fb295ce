#pragma once
// Reads an OpenStreetMap extract (PBF) through a libosmium handler with the
// node locations set on every way, so that tests can check what a map made
// from the extract holds against the extract itself.

#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/visitor.hpp>

#include <filesystem>

namespace TestSupport {

template <typename Handler> void readOsmExtract(const std::filesystem::path& pbf, Handler& handler) {
    using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations{index};
    osmium::io::Reader reader{osmium::io::File{pbf.string(), "pbf"}};
    osmium::apply(reader, locations, handler);
    reader.close();
}

} // namespace TestSupport
