#include "core/Config.h"

#include "core/AnsiFile.h"
#include "core/Base64.h"
#include "core/FileSystem.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Parse.h"
#include "core/Text.h"
#include "core/XmlDepth.h"
#include "core/XmlEscape.h"
#include "platform/AtomicFile.h"
#include "platform/Directory.h"
#include "platform/Error.h"
#include "platform/File.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <cstring>

namespace Core {
namespace {

// Far deeper than any config.xml and far below what the parser's recursion
// can stand.
constexpr int kMaxXmlDepth = 64;

std::string intText(int v) { return format("%d", v); }
std::string floatText(float v) { return format("%f", v); }

// XML cannot carry a zero byte (a file holding one ends there for the
// parser), so a text is written up to its first one, as a C string would be.
// Texts get one from a "&#0;" in a loaded file.
std::string_view upToZero(const std::string& text) {
    return std::string_view(text.data(), std::min(text.size(), std::strlen(text.c_str())));
}

// The old form separated key parts with "::".
// Scanning on after each "/" written, so ":::" gives "/:".
void replaceOldSeparators(std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == ':' && i + 1 < name.size() && name[i + 1] == ':') {
            out.push_back('/');
            ++i;
        } else {
            out.push_back(name[i]);
        }
    }
    name = std::move(out);
}

// Drops the keys neither known nor read past the first Config::MaxUnread of
// them in key order (save's first step), and says how many went.
void dropUnread(Config::Impl& impl) {
    auto& values = impl.values;
    if (values.size() <= Config::MaxUnread)
        return;
    std::size_t unread = 0;
    std::size_t dropped = 0;
    for (auto it = values.begin(); it != values.end();) {
        if (impl.read.contains(it->first) || impl.known.contains(it->first) || ++unread <= Config::MaxUnread) {
            ++it;
            continue;
        }
        it = values.erase(it);
        ++dropped;
    }
    if (dropped > 0)
        Log::log(Log::Critical, u"Config: %d settings that nothing read were dropped (at most %d are kept)",
                 static_cast<long long>(dropped), static_cast<long long>(Config::MaxUnread));
}

} // namespace

// ---- Config ----

Config::Config() : m_impl(std::make_shared<Impl>()) {}

Config::~Config() { m_impl->root.reset(); }

std::shared_ptr<ConfigNode> Config::root() {
    if (!m_impl->root)
        m_impl->root = std::make_shared<NodeImpl>(m_impl, std::string());
    return m_impl->root;
}

std::string Config::toXml() const {
    std::string out = "<config version=\"2\">\r\n";
    for (const auto& [key, value] : m_impl->values) {
        // Keys are escaped like values: a key holding a quote or "<" would
        // otherwise make the whole file unreadable.
        out += "\t<var name=\"";
        out += xmlEscape(upToZero(key));
        out += "\" value=\"";
        // A damaged or hand-edited value must not make the whole file
        // unreadable: its bad bytes are written as U+FFFD.
        out += xmlEscapeWellFormed(upToZero(value));
        out += "\" />\r\n";
    }
    out += "</config>";
    return out;
}

bool Config::load(const std::u16string& path) {
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        // A missing file is the first start (or a reset), not a fault.
        const int error = file.lastError();
        Log::log(error == Platform::ErrorFileNotFound ? Log::Normal : Log::Critical,
                 u"Can't open config file '%s' (err %d)", path, Log::Errno{error});
        return false;
    }
    std::uint32_t size = 0;
    const std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    if (!bytes)
        return false;
    return loadXml(std::string(bytes.get(), size), path);
}

void Config::saveFailed(const char16_t* line, const std::u16string& path, int error) {
    if (error == 0)
        error = Platform::ErrorInvalidFunction;
    if (error != m_saveError)
        Log::log(Log::Critical, line, path, error);
    m_saveError = error;
}

bool Config::save(const std::u16string& path) {
    dropUnread(*m_impl);
    Platform::AtomicFile file(path);
    if (!file.isOpen()) {
        saveFailed(u"Can't create config file '%s' (err %d)", path, file.error());
        return false;
    }
    // Nothing replaces the old file unless every byte reached the disk.
    if (!file.write(toXml()) || !file.commit()) {
        saveFailed(u"Can't write config file '%s' (err %d)", path, file.error());
        return false;
    }
    m_saveError = 0;
    m_impl->changed = false;
    m_impl->edited.clear();
    return true;
}

std::u16string Config::keepUnreadable(const std::u16string& path, const char* kind) {
    if (!Platform::fileExists(path))
        return {};
    // One copy of the program per data folder: nothing else makes these
    // names between the look and the rename.
    std::u16string backup = path + u".bak";
    for (int n = 2; n <= MaxKeptUnreadable && Platform::fileExists(backup); ++n)
        backup = path + u".bak." + Core::utf8ToWide(std::to_string(n));
    if (!Platform::renameEntry(path, backup)) {
        Log::log(Log::Critical, u"Can't keep unreadable %hs file '%s' as '%s' (err %d)", kind, path, backup,
                 Platform::lastError());
        return {};
    }
    Log::log(Log::Critical, u"Unreadable %hs file kept as '%s'", kind, backup);
    return backup;
}

bool Config::loadXml(std::string text, const std::u16string& name) {
    if (!beginsAsXml(text)) {
        Log::log(Log::Critical, u"Config file '%s' is not XML", name);
        return false;
    }
    if (!xmlDepthWithin(text, kMaxXmlDepth)) {
        Log::log(Log::Critical, u"Config file '%s' is nested too deeply", name);
        return false;
    }
    // The parser works in place on a zero-terminated buffer; a zero byte
    // inside the text ends it there.
    text.push_back('\0');
    auto doc = std::make_unique<rapidxml::xml_document<char>>();
    try {
        doc->parse<0>(text.data());
    } catch (const rapidxml::parse_error& e) {
        const std::ptrdiff_t at = e.where<char>() ? e.where<char>() - text.data() : -1;
        Log::log(Log::Critical, u"Can't parse config file '%s': %hs at byte %d", name, e.what(),
                 static_cast<long long>(at));
        return false;
    }
    const rapidxml::xml_node<char>* config = doc->first_node("config");
    if (config == nullptr) {
        Log::log(Log::Critical, u"Config file '%s' has no config element", name);
        return false;
    }
    // The version is read from its leading digits only: a sign or a blank in
    // front reads as no digit, that is version 0.
    bool oldForm = true;
    if (const auto* v = config->first_attribute("version")) {
        std::uint32_t version = 0;
        for (std::size_t i = 0; i < v->value_size() && version < 2; ++i) {
            const char c = v->value()[i];
            if (c < '0' || c > '9')
                break;
            version = version * 10 + static_cast<std::uint32_t>(c - '0');
        }
        oldForm = version < 2;
    }

    for (const auto* var = config->first_node("var"); var != nullptr; var = var->next_sibling("var")) {
        const auto* nameAttr = var->first_attribute("name");
        const auto* valueAttr = var->first_attribute("value");
        if (nameAttr == nullptr || valueAttr == nullptr)
            continue;
        // A "&#0;" ends a name or value here as it will in the saved file;
        // names that differ only after one are the same key.
        std::string key(nameAttr->value(), nameAttr->value_size());
        key.resize(upToZero(key).size());
        if (oldForm)
            replaceOldSeparators(key);
        std::string value(valueAttr->value(), valueAttr->value_size());
        value.resize(upToZero(value).size());
        // emplace keeps a value already present: the first one wins.
        m_impl->values.emplace(std::move(key), std::move(value));
    }
    // Far more keys than the program has: the next save is due, to drop them.
    m_impl->changed = m_impl->values.size() > 2 * MaxUnread;
    m_impl->edited.clear();
    return true;
}

std::vector<std::uint8_t> Config::pack(const std::vector<bool>& flags) {
    std::vector<std::uint8_t> bytes((flags.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (0x80u >> (i % 8)));
    return bytes;
}

void Config::unpack(std::span<const std::uint8_t> bytes, std::vector<bool>& flags) {
    std::size_t i = 0;
    for (std::uint8_t b : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            if (i >= flags.size())
                return;
            // at(): a bound ever overstepped throws rather than flipping a
            // bit of the storage past the end.
            flags.at(i++) = ((b >> bit) & 1) != 0;
        }
    }
}

// ---- NodeImpl ----

Config::NodeImpl::NodeImpl(std::shared_ptr<Impl> impl, std::string prefix)
    : m_impl(std::move(impl)), m_prefix(std::move(prefix)) {}

std::shared_ptr<ConfigNode> Config::NodeImpl::child(const std::string& name) {
    return std::make_shared<NodeImpl>(m_impl, m_prefix + name + "/");
}

void Config::NodeImpl::markRead(const std::string& fullKey) const {
    if (!m_impl->read.contains(fullKey))
        m_impl->read.insert(fullKey);
}

const std::string* Config::NodeImpl::find(const std::string& key) const {
    const auto it = m_impl->values.find(m_prefix + key);
    if (it == m_impl->values.end())
        return nullptr;
    markRead(it->first);
    return &it->second;
}

std::string& Config::NodeImpl::getOrCreate(const std::string& key, bool& created) {
    auto [it, inserted] = m_impl->values.try_emplace(m_prefix + key);
    markRead(it->first);
    created = inserted;
    if (inserted)
        m_impl->changed = true;
    return it->second;
}

void Config::NodeImpl::store(const std::string& key, std::string text) {
    bool created = false;
    std::string& stored = getOrCreate(key, created);
    if (stored == text)
        return;
    stored = std::move(text);
    m_impl->changed = true;
    m_impl->edited.insert(m_prefix + key);
}

bool Config::NodeImpl::has(const std::string& key) const { return find(key) != nullptr; }

bool Config::NodeImpl::get(const std::string& key, int& out) const {
    const std::string* text = find(key);
    if (text == nullptr)
        return false;
    std::int32_t v = 0;
    const bool ok = parseInt(*text, v);
    out = v;
    return ok;
}

bool Config::NodeImpl::get(const std::string& key, float& out) const {
    const std::string* text = find(key);
    if (text == nullptr)
        return false;
    return parseFloat(*text, out);
}

bool Config::NodeImpl::get(const std::string& key, bool& out) const {
    int v = 0;
    if (!get(key, v))
        return false;
    out = v != 0;
    return true;
}

bool Config::NodeImpl::get(const std::string& key, std::string& out) const {
    const std::string* text = find(key);
    if (text == nullptr)
        return false;
    out = *text;
    return true;
}

bool Config::NodeImpl::get(const std::string& key, std::vector<std::uint8_t>& out) const {
    const std::string* text = find(key);
    if (text == nullptr)
        return false;
    // The decoder skips what it does not know; a damaged text still counts
    // as present.
    out = base64Decode(*text);
    return true;
}

int Config::NodeImpl::value(const std::string& key, int defaultValue) {
    bool created = false;
    std::string& text = getOrCreate(key, created);
    std::int32_t v = 0;
    if (!created && parseInt(text, v))
        return v;
    // Replacing a text that did not parse is no change of the settings.
    text = intText(defaultValue);
    return defaultValue;
}

float Config::NodeImpl::value(const std::string& key, float defaultValue) {
    bool created = false;
    std::string& text = getOrCreate(key, created);
    float v = 0;
    if (!created && parseFloat(text, v))
        return v;
    text = floatText(defaultValue);
    return defaultValue;
}

bool Config::NodeImpl::value(const std::string& key, bool defaultValue) {
    return value(key, defaultValue ? 1 : 0) != 0;
}

const std::string& Config::NodeImpl::value(const std::string& key, const std::string& defaultValue) {
    bool created = false;
    std::string& text = getOrCreate(key, created);
    if (created)
        text = defaultValue;
    return text;
}

void Config::NodeImpl::valueBlob(const std::string& key, std::vector<std::uint8_t>& inOut) {
    bool created = false;
    std::string& text = getOrCreate(key, created);
    if (created && !inOut.empty())
        text = base64Encode(inOut);
    inOut = base64Decode(text);
}

void Config::NodeImpl::set(const std::string& key, int v) { store(key, intText(v)); }

void Config::NodeImpl::set(const std::string& key, float v) { store(key, floatText(v)); }

void Config::NodeImpl::set(const std::string& key, bool v) { set(key, v ? 1 : 0); }

void Config::NodeImpl::set(const std::string& key, const std::string& v) { store(key, v); }

void Config::NodeImpl::set(const std::string& key, const std::vector<std::uint8_t>& v) {
    // An empty vector stores an empty text.
    store(key, v.empty() ? std::string() : base64Encode(v));
}

} // namespace Core
