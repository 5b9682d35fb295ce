#pragma once
// A settings node over a map of texts, enough for the routing tests; it
// records which keys were read.

#include "core/ConfigNode.h"

#include <map>
#include <string>
#include <vector>

namespace RoutingTest {

class FakeConfigNode : public Core::ConfigNode {
  public:
    std::map<std::string, std::string> values;
    std::vector<std::string> read;

    std::shared_ptr<ConfigNode> child(const std::string&) override { return nullptr; }
    bool has(const std::string& key) const override { return values.count(key) != 0; }
    bool get(const std::string& key, int& out) const override {
        auto it = values.find(key);
        if (it == values.end()) return false;
        out = std::stoi(it->second);
        return true;
    }
    bool get(const std::string&, float&) const override { return false; }
    bool get(const std::string& key, bool& out) const override {
        auto it = values.find(key);
        if (it == values.end()) return false;
        out = it->second == "1";
        return true;
    }
    bool get(const std::string& key, std::string& out) const override {
        auto it = values.find(key);
        if (it == values.end()) return false;
        out = it->second;
        return true;
    }
    bool get(const std::string&, std::vector<std::uint8_t>&) const override { return false; }
    int value(const std::string& key, int d) override {
        read.push_back(key);
        auto [it, added] = values.emplace(key, std::to_string(d));
        return std::stoi(it->second);
    }
    float value(const std::string&, float d) override { return d; }
    bool value(const std::string& key, bool d) override {
        read.push_back(key);
        auto [it, added] = values.emplace(key, d ? "1" : "0");
        return it->second == "1";
    }
    const std::string& value(const std::string& key, const std::string& d) override {
        read.push_back(key);
        return values.emplace(key, d).first->second;
    }
    void valueBlob(const std::string&, std::vector<std::uint8_t>&) override {}
    void set(const std::string& key, int v) override { values[key] = std::to_string(v); }
    void set(const std::string&, float) override {}
    void set(const std::string& key, bool v) override { values[key] = std::string(1, v ? '1' : '0'); }
    void set(const std::string& key, const std::string& v) override { values[key] = v; }
    void set(const std::string&, const std::vector<std::uint8_t>&) override {}
};

} // namespace RoutingTest
