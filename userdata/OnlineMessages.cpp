#include "userdata/OnlineMessages.h"

#include "core/Format.h"
#include "core/Parse.h"
#include "core/Text.h"
#include "core/XmlDepth.h"
#include "core/XmlEscape.h"
#include "map/Projection.h"

#include <rapidxml/rapidxml.hpp>

#include <limits>

namespace Monitoring::Messages {
namespace {

using Node = rapidxml::xml_node<char>;

// Replies nest two levels; anything deeper is not from the service.
constexpr int MaxDepth = 8;

std::string_view nameOf(const Node& n) {
    return {n.name(), n.name_size()};
}

const rapidxml::xml_attribute<char>* attribute(const Node& n, const char* name) {
    return n.first_attribute(name);
}

Number number(const Node& n, const char* name) {
    const auto* a = attribute(n, name);
    if (a == nullptr) return std::nullopt;
    std::string_view s(a->value(), a->value_size());
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::int64_t value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') break;
        if (value > (std::numeric_limits<std::int64_t>::max() - 9) / 10) {
            value = std::numeric_limits<std::int64_t>::max();
            break;
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

std::optional<std::u16string> wideText(const Node& n, const char* name) {
    const auto* a = attribute(n, name);
    if (a == nullptr) return std::nullopt;
    return Core::utf8ToWide(std::string_view(a->value(), a->value_size()));
}

std::optional<float> coordinate(const Node& n, const char* name) {
    const auto* a = attribute(n, name);
    float value = 0;
    if (a == nullptr || !Core::parseFloat(std::string_view(a->value(), a->value_size()), value))
        return std::nullopt;
    return value;
}

// Parses the whole text in place; false when it is not XML or nests deeper
// than a reply can. `doc` keeps the parsed nodes alive.
bool parse(rapidxml::xml_document<char>& doc, std::string& text) {
    if (!Core::xmlDepthWithin(text, MaxDepth)) return false;
    try {
        doc.parse<0>(text.data());
    } catch (const rapidxml::parse_error&) {
        return false;
    }
    return true;
}

const Node* topLevel(rapidxml::xml_document<char>& doc, std::string& text, const char* name) {
    return parse(doc, text) ? doc.first_node(name) : nullptr;
}

std::string decimal(std::int64_t value) {
    return Core::format("%d", value);
}

} // namespace

std::string connectRequest(std::u16string_view user, std::u16string_view password) {
    return "<mct user=\"" + Core::xmlEscapeWide(user) + "\" password=\"" + Core::xmlEscapeWide(password) +
           "\" />";
}

std::string friendInfoRequest(std::string_view token) {
    return "<mfi token=\"" + Core::xmlEscape(token) + "\" />";
}

std::string trackRequest(const TrackRequest& r) {
    std::string out = "<mtr token=\"" + Core::xmlEscape(r.token) + "\"";
    if (r.minTrackId) out += " min_track_id=\"" + decimal(*r.minTrackId) + "\"";
    if (r.minPointId) out += " min_wpt_id=\"" + decimal(*r.minPointId) + "\"";
    out += ">\r\n";
    for (const std::uint32_t token : r.friends)
        out += "<friend token=\"" + decimal(token) + "\" />\r\n";
    if (r.packedSize != 0) {
        out += "<track size=\"" + decimal(r.packedSize) + "\" value=\"" + r.packedBase64 + "\" />\r\n";
        out += Core::format("<point lat=\"%f\" lon=\"%f\" />\r\n", r.lastPosition.latitude,
                            r.lastPosition.longitude);
    }
    return out + "</mtr>";
}

std::string pointRequest(std::string_view token, std::span<const std::uint32_t> receivers,
                         const WayPoint& point) {
    std::string out = "<mpt token=\"" + Core::xmlEscape(token) + "\">\r\n";
    for (const std::uint32_t receiver : receivers)
        out += "<friend token=\"" + decimal(receiver) + "\" />\r\n";
    out += "<wpt";
    if (!point.name.empty()) out += " name=\"" + Core::xmlEscapeWide(point.name) + "\"";
    if (!point.comment.empty()) out += " comment=\"" + Core::xmlEscapeWide(point.comment) + "\"";
    const Map::GeoPoint geo = Map::Projection::toGeo(point.position);
    out += Core::format(" type=\"%d\" lat=\"%f\" lon=\"%f\" />\r\n", point.type, geo.latitude, geo.longitude);
    return out + "</mpt>";
}

std::optional<std::string> connectReply(std::string text) {
    rapidxml::xml_document<char> doc;
    const Node* mcr = topLevel(doc, text, "mcr");
    const auto* token = mcr ? attribute(*mcr, "token") : nullptr;
    if (token == nullptr || token->value_size() == 0) return std::nullopt;
    return std::string(token->value(), token->value_size());
}

std::optional<std::vector<FriendEntry>> friendsReply(std::string text) {
    rapidxml::xml_document<char> doc;
    const Node* mfi = topLevel(doc, text, "mfi");
    if (mfi == nullptr) return std::nullopt;
    std::vector<FriendEntry> out;
    for (const Node* f = mfi->first_node("friend"); f != nullptr; f = f->next_sibling("friend"))
        out.push_back({number(*f, "token"), wideText(*f, "name")});
    return out;
}

std::optional<std::vector<std::variant<TrackEntry, PointEntry>>> tracksReply(std::string text) {
    rapidxml::xml_document<char> doc;
    const Node* mft = topLevel(doc, text, "mft");
    if (mft == nullptr) return std::nullopt;
    std::vector<std::variant<TrackEntry, PointEntry>> out;
    for (const Node* c = mft->first_node(); c != nullptr; c = c->next_sibling()) {
        if (c->type() != rapidxml::node_element) continue;
        if (nameOf(*c) == "track") {
            const auto* value = attribute(*c, "value");
            out.push_back(TrackEntry{
                number(*c, "id"), number(*c, "token"), number(*c, "size"),
                value ? std::optional<std::string>(std::string(value->value(), value->value_size()))
                      : std::nullopt});
        } else if (nameOf(*c) == "wpt") {
            out.push_back(PointEntry{number(*c, "id"), number(*c, "token"),
                                     wideText(*c, "name").value_or(u""),
                                     wideText(*c, "comment").value_or(u""), number(*c, "type"),
                                     coordinate(*c, "lat"), coordinate(*c, "lon")});
        }
    }
    return out;
}

bool pointReply(std::string text) {
    rapidxml::xml_document<char> doc;
    if (!parse(doc, text)) return false;
    const Node* first = doc.first_node();
    return first != nullptr && nameOf(*first) != "error";
}

} // namespace Monitoring::Messages
