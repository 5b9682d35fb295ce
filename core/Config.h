#pragma once
// The settings store behind Core::ConfigNode: one flat, ordered map from key
// path to text, kept in config.xml. The engine owns one Config, loads it at
// start, hands out nodes of it and saves it when it has changed.
//
// config.xml:
//     <config version="2">
//         <var name="Routing/best_roads" value="1" />
//     </config>
// Lines end in CR LF; there is no line end after "</config>". A file without
// version 2 is of the old form, in which "::" separates the parts of a key.
//
// Not thread-safe: callers use the store from one thread at a time.

#include "core/ConfigNode.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Core {

class Config {
public:
    class NodeImpl;

    // The store shared by the Config and all its nodes.
    struct Impl {
        std::map<std::string, std::string> values; // plain byte order of the keys
        bool changed = false;
        std::set<std::string> edited; // keys a setter changed since the last load or save
        // Keys a node looked up, set or created: the settings of this
        // program. The others came from the file alone.
        std::set<std::string> read;
        // The keys of the program's own settings, whether read or not.
        std::set<std::string, std::less<>> known;
        std::shared_ptr<NodeImpl> root;
    };

    Config();
    // Releases the store's hold on its root node; nodes still held elsewhere
    // keep the store alive.
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // The root node (empty prefix), the same one on every call.
    std::shared_ptr<ConfigNode> root();

    // Set by key creation and by setters that change a text; cleared by load
    // and by a successful save.
    bool changed() const { return m_impl->changed; }
    // The keys that setters changed the text of (a key a getter created
    // with its default is no edit); emptied with changed. What a running
    // program writes: reading a setting for the first time is no reason to
    // rewrite the file (the exit writes it when changed).
    const std::set<std::string>& editedKeys() const { return m_impl->edited; }

    // Reads config.xml into the store. Values already in the store win over
    // those of the file, and the first of duplicate keys in the file wins.
    // A store of more than twice MaxUnread keys counts as changed, so that
    // the exit's save drops what nothing read.
    // False (logged) when the file cannot be opened or read, is not XML, or
    // has no "config" element; the store then keeps what it had.
    bool load(const std::u16string& path);
    // Writes the whole store: to a temporary file beside the target that then
    // replaces it, so a failed or interrupted save leaves the previous file
    // whole. False (logged) on any failure; changed then stays set. A
    // failure like the one before it (a full disk tried again) is not
    // logged again.
    bool save(const std::u16string& path);
    // The Win32 number of why the last save failed; 0 after one that
    // succeeded.
    int saveError() const { return m_saveError; }

    // The store's text as save writes it.
    std::string toXml() const;
    // Parses a whole config.xml text; the load without the file. The name
    // only labels log lines.
    bool loadXml(std::string text, const std::u16string& name);

    // After a failed load: when a file exists at the path, it is renamed to
    // "<path>.bak", so that the fresh file the engine writes next does not
    // destroy settings a person may still recover. A file kept by an
    // earlier damage is never replaced: the next goes to "<path>.bak.2",
    // ".bak.3" and so on (up to MaxKeptUnreadable, the last of which is
    // then reused). The name the file was kept under; empty when there was
    // no file or it could not be renamed (logged). `kind` names the file in
    // the log lines ("Unreadable config file kept as '%s'"); other files
    // the program rewrites from what it finds (atlas.xml) are kept so too.
    static std::u16string keepUnreadable(const std::u16string& path, const char* kind = "config");
    static constexpr int MaxKeptUnreadable = 20;
    // Of the keys no node has read (a file's leftovers, or junk), save
    // keeps the known ones and the first MaxUnread others in key order; the
    // rest are dropped from the store, and logged once.
    static constexpr std::size_t MaxUnread = 4096;
    // Names the program's own settings: never dropped, read this run or
    // not (the settings of a page not opened, of a route not computed),
    // however many unknown keys sort before them. The engine names them
    // before the first save (app/SettingKeys.h).
    void setKnownKeys(std::set<std::string, std::less<>> keys) { m_impl->known = std::move(keys); }

    // A vector of flags as one blob value: bool i in byte i / 8, bit
    // 7 - i % 8; unused low bits of the last byte are 0.
    static std::vector<std::uint8_t> pack(const std::vector<bool>& flags);
    // Fills flags in order from the bits (most significant first) until the
    // vector is full or the bytes run out; flags beyond the bytes keep their
    // value.
    static void unpack(std::span<const std::uint8_t> bytes, std::vector<bool>& flags);

private:
    // Logs a save's failure unless the save before failed the same way.
    void saveFailed(const char16_t* line, const std::u16string& path, int error);

    std::shared_ptr<Impl> m_impl;
    int m_saveError = 0;
};

class Config::NodeImpl final : public ConfigNode {
public:
    NodeImpl(std::shared_ptr<Impl> impl, std::string prefix);

    const std::string& prefix() const { return m_prefix; }

    std::shared_ptr<ConfigNode> child(const std::string& name) override;
    bool has(const std::string& key) const override;

    bool get(const std::string& key, int& out) const override;
    bool get(const std::string& key, float& out) const override;
    bool get(const std::string& key, bool& out) const override;
    bool get(const std::string& key, std::string& out) const override;
    bool get(const std::string& key, std::vector<std::uint8_t>& out) const override;

    int value(const std::string& key, int defaultValue) override;
    float value(const std::string& key, float defaultValue) override;
    bool value(const std::string& key, bool defaultValue) override;
    const std::string& value(const std::string& key, const std::string& defaultValue) override;
    void valueBlob(const std::string& key, std::vector<std::uint8_t>& inOut) override;

    void set(const std::string& key, int v) override;
    void set(const std::string& key, float v) override;
    void set(const std::string& key, bool v) override;
    void set(const std::string& key, const std::string& v) override;
    void set(const std::string& key, const std::vector<std::uint8_t>& v) override;

    using ConfigNode::set;
    using ConfigNode::value;

private:
    const std::string* find(const std::string& key) const;
    void markRead(const std::string& fullKey) const;
    // The stored text of the key, created empty (and changed set) when
    // missing; created tells which.
    std::string& getOrCreate(const std::string& key, bool& created);
    void store(const std::string& key, std::string text);

    std::shared_ptr<Impl> m_impl;
    std::string m_prefix;
};

} // namespace Core
