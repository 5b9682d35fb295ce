#pragma once
// The settings interface every subsystem uses: typed values under path keys
// ("Routing/best_roads"), stored as text. Getters with a default create a
// missing key with that default, so the saved file lists every setting the
// program consulted.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Core {

class ConfigNode {
public:
    virtual ~ConfigNode() = default;

    // A node whose keys are prefixed with "<name>/".
    virtual std::shared_ptr<ConfigNode> child(const std::string& name) = 0;
    virtual bool has(const std::string& key) const = 0;

    // Lookups without creation: true when the key is present (and, for
    // numbers, its text parses).
    virtual bool get(const std::string& key, int& out) const = 0;
    virtual bool get(const std::string& key, float& out) const = 0;
    virtual bool get(const std::string& key, bool& out) const = 0;
    virtual bool get(const std::string& key, std::string& out) const = 0;
    virtual bool get(const std::string& key, std::vector<std::uint8_t>& out) const = 0;

    // Get-or-create with a default.
    virtual int value(const std::string& key, int defaultValue) = 0;
    virtual float value(const std::string& key, float defaultValue) = 0;
    virtual bool value(const std::string& key, bool defaultValue) = 0;
    virtual const std::string& value(const std::string& key, const std::string& defaultValue) = 0;
    // The vector is the default on the way in and the stored value on the way out.
    virtual void valueBlob(const std::string& key, std::vector<std::uint8_t>& inOut) = 0;

    // Setters raise the store's changed flag only when the stored text changes.
    virtual void set(const std::string& key, int v) = 0;
    virtual void set(const std::string& key, float v) = 0;
    virtual void set(const std::string& key, bool v) = 0;
    virtual void set(const std::string& key, const std::string& v) = 0;
    virtual void set(const std::string& key, const std::vector<std::uint8_t>& v) = 0;

    // A string literal must not decay to the bool overloads.
    const std::string& value(const std::string& key, const char* defaultValue) {
        return value(key, std::string(defaultValue));
    }
    void set(const std::string& key, const char* v) { set(key, std::string(v)); }

    ConfigNode() = default;
    ConfigNode(const ConfigNode&) = delete;
    ConfigNode& operator=(const ConfigNode&) = delete;
};

using ConfigNodePtr = std::shared_ptr<ConfigNode>;

} // namespace Core
