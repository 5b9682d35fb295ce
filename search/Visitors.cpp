#include "search/Visitors.h"

#include "map/file/StringsSectionReader.h"

#include <bit>

namespace TextSearch {

using namespace Map::File;

std::u16string VisitorBase::text(std::uint32_t ref) {
    std::u16string out;
    if (ref != 0 && m_map != nullptr && !m_map->stringsReader().stringAt(ref, out)) out.clear();
    return out;
}

std::u16string VisitorBase::name() {
    return text(nameRef());
}

std::uint32_t VisitorBase::parentName(int table, std::uint32_t offset) {
    if (offset == 0 || m_map == nullptr) return 0;
    AddressSectionReader& address = m_map->addressReader();
    switch (table) {
    case 0: {
        CountryRecord r;
        return address.readCountry(offset, r) ? r.name : 0;
    }
    case 1: {
        RegionRecord r;
        return address.readRegion(offset, r) ? r.name : 0;
    }
    case 2: {
        DistrictRecord r;
        return address.readDistrict(offset, r) ? r.name : 0;
    }
    case 3: {
        CityRecord r;
        return address.readCity(offset, r) ? r.name : 0;
    }
    default:
        return 0;
    }
}

bool VisitorBase::underFilter(std::uint32_t level, std::uint32_t object,
                              std::initializer_list<std::uint32_t> parents) {
    return level == NoFilter || level > parents.size() || parents.begin()[level - 1] == object;
}

void VisitorBase::appendName(std::u16string& out, const std::u16string& name) {
    if (name.empty()) return;
    if (!out.empty()) out += u", ";
    out += name;
}

void VisitorBase::appendParent(std::u16string& out, int table, std::uint32_t offset) {
    appendName(out, text(parentName(table, offset)));
}

namespace {

class CountriesVisitor : public VisitorBase {
  public:
    int table() const override { return 0; }
    bool seek(Map::KvMap& map, std::uint32_t offset) override {
        m_map = &map;
        m_offset = offset;
        return map.addressReader().readCountry(offset, m_record);
    }
    std::uint32_t next() const override { return m_offset + 4; }
    bool accepts(std::uint32_t, std::uint32_t) override { return true; }
    std::uint32_t nameRef() const override { return m_record.name; }
    std::u16string detail() override { return {}; }

  private:
    CountryRecord m_record;
};

class RegionsVisitor : public VisitorBase {
  public:
    int table() const override { return 1; }
    bool seek(Map::KvMap& map, std::uint32_t offset) override {
        m_map = &map;
        m_offset = offset;
        return map.addressReader().readRegion(offset, m_record);
    }
    std::uint32_t next() const override { return m_offset + 8; }
    bool accepts(std::uint32_t level, std::uint32_t object) override {
        return underFilter(level, object, {m_record.country});
    }
    std::uint32_t nameRef() const override { return m_record.name; }
    std::u16string detail() override {
        std::u16string out;
        appendParent(out, 0, m_record.country);
        return out;
    }

  private:
    RegionRecord m_record;
};

class DistrictsVisitor : public VisitorBase {
  public:
    int table() const override { return 2; }
    bool seek(Map::KvMap& map, std::uint32_t offset) override {
        m_map = &map;
        m_offset = offset;
        return map.addressReader().readDistrict(offset, m_record);
    }
    std::uint32_t next() const override { return m_offset + 12; }
    bool accepts(std::uint32_t level, std::uint32_t object) override {
        return underFilter(level, object, {m_record.country, m_record.region});
    }
    std::uint32_t nameRef() const override { return m_record.name; }
    std::u16string detail() override {
        std::u16string out;
        RegionRecord region;
        const bool hasRegion =
            m_record.region != 0 && m_map->addressReader().readRegion(m_record.region, region);
        if (hasRegion) {
            appendName(out, text(region.name));
            appendParent(out, 0, region.country);
        }
        return out;
    }

  private:
    DistrictRecord m_record;
};

class CitiesVisitor : public VisitorBase {
  public:
    int table() const override { return 3; }
    bool seek(Map::KvMap& map, std::uint32_t offset) override {
        m_map = &map;
        m_offset = offset;
        return map.addressReader().readCity(offset, m_record);
    }
    std::uint32_t next() const override { return m_offset + 28; }
    bool accepts(std::uint32_t level, std::uint32_t object) override {
        return underFilter(level, object, {m_record.country, m_record.region, m_record.district});
    }
    std::uint32_t nameRef() const override { return m_record.name; }
    std::u16string detail() override {
        // A district or region named like the name before it is left out.
        std::u16string out;
        std::uint32_t last = m_record.name;
        const std::uint32_t district = parentName(2, m_record.district);
        if (district != 0 && district != m_record.name) {
            appendName(out, text(district));
            last = district;
        }
        RegionRecord region;
        const bool hasRegion =
            m_record.region != 0 && m_map->addressReader().readRegion(m_record.region, region);
        if (hasRegion && region.name != last) appendName(out, text(region.name));
        if (hasRegion) appendParent(out, 0, region.country);
        return out;
    }
    bool point(Map::Point& out) const override {
        out = {m_record.x, m_record.y};
        return true;
    }

  private:
    CityRecord m_record;
};

class StreetsVisitor : public VisitorBase {
  public:
    int table() const override { return 4; }
    bool seek(Map::KvMap& map, std::uint32_t offset) override {
        m_map = &map;
        m_offset = offset;
        return map.addressReader().readStreet(offset, m_record);
    }
    std::uint32_t next() const override { return m_offset + 39 + 4 * std::uint32_t{m_record.extraWords}; }
    bool accepts(std::uint32_t level, std::uint32_t object) override {
        return underFilter(level, object,
                           {m_record.country, m_record.region, m_record.district, m_record.city});
    }
    std::uint32_t nameRef() const override { return m_record.name; }
    std::u16string detail() override {
        std::u16string out;
        CityRecord city;
        if (m_record.city == 0 || !m_map->addressReader().readCity(m_record.city, city)) return out;
        appendName(out, text(city.name));
        const std::uint32_t district = parentName(2, city.district);
        if (district != 0 && district != city.name) appendName(out, text(district));
        const std::uint32_t region = parentName(1, city.region);
        if (region != 0 && region != city.name) appendName(out, text(region));
        return out;
    }
    bool point(Map::Point& out) const override {
        out = {m_record.x, m_record.y};
        return true;
    }

  private:
    StreetRecord m_record;
};

class PoisVisitor : public VisitorBase {
  public:
    int table() const override { return 5; }
    bool seek(Map::KvMap& map, std::uint32_t offset) override {
        m_map = &map;
        m_offset = offset;
        return map.addressReader().readObject(offset, m_record);
    }
    std::uint32_t next() const override {
        return m_offset + 27 +
               4 * static_cast<std::uint32_t>(std::popcount(static_cast<unsigned>(m_record.flags & 0xFC)));
    }
    bool accepts(std::uint32_t level, std::uint32_t object) override {
        if (level == NoFilter) return true;
        if (level == CityFilter) return m_record.city == object;
        CityRecord city;
        if (m_record.city == 0 || !m_map->addressReader().readCity(m_record.city, city)) return false;
        return underFilter(level, object, {city.country, city.region, city.district});
    }
    std::uint32_t nameRef() const override { return m_record.name; }
    std::u16string detail() override {
        std::u16string out = text(m_record.addressText);
        if (m_record.street != 0) {
            StreetRecord street;
            if (m_map->addressReader().readStreet(m_record.street, street))
                appendName(out, text(street.name));
        }
        appendParent(out, 3, m_record.city);
        return out;
    }
    std::uint16_t type() const override { return m_record.type; }
    bool point(Map::Point& out) const override {
        out = {m_record.x, m_record.y};
        return true;
    }

  private:
    ObjectRecord m_record;
};

} // namespace

std::unique_ptr<VisitorBase> makeVisitor(int kind) {
    switch (kind) {
    case 1:
        return std::make_unique<CountriesVisitor>();
    case 2:
        return std::make_unique<RegionsVisitor>();
    case 3:
        return std::make_unique<DistrictsVisitor>();
    case 17:
        return std::make_unique<CitiesVisitor>();
    case 18:
        return std::make_unique<StreetsVisitor>();
    case 19:
    case 20:
        return std::make_unique<PoisVisitor>();
    default:
        return nullptr;
    }
}

} // namespace TextSearch
