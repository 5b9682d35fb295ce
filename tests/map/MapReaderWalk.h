#pragma once
// Every operation of every section reader of an opened map, bounded in how
// much each asks for: what the mutation tests and the map fuzz target run
// over damaged maps. Nothing may crash or read outside the map's bytes.

#include "tests/map/MapFixture.h"

#include <cstdint>
#include <random>

namespace MapTest {

// Strings, copyright, every level's cells and records, the address records
// and the routing graph; returns the builder's id violations (ids beyond the
// counts the graph announced), 0 for a sound reader.
int walkReaders(OpenedMap& map, std::mt19937_64& random);

// Every operation of the text-search and spatial-search readers, and a
// re-encoding of every tree that decodes.
void walkSearch(OpenedMap& map, std::mt19937_64& random);

// Takes the first few objects within a limit.
class NearestFew : public Map::File::NnVisitor {
public:
    NearestFew(std::size_t wanted, std::uint64_t limit) : m_wanted(wanted), m_limit(limit) {}
    bool wantsMore() override { return visits < m_wanted; }
    std::uint64_t limit() override { return m_limit; }
    void visit(std::uint32_t, std::uint64_t) override { ++visits; }
    std::size_t visits = 0;

private:
    std::size_t m_wanted;
    std::uint64_t m_limit;
};

// The sample map in the vertex layout of the graph.
MapWriting::MapDescription vertexLayoutMap();

} // namespace MapTest
