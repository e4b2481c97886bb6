#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "triggers/TriggerOwners.h"

namespace ks::test {

// Trigger holders in one map, keyed "vk+modifiers" for a hot key, "#id" for
// a message id and the phrase itself for a phrase. Registration numbers
// count up from 1; stored triggers are entered nowhere.
class MapTriggerOwners : public MacroTriggerIntake {
public:
    virtual ~MapTriggerOwners() = default;

    std::optional<std::string> hotKeyOwner(std::uint32_t vk, std::uint32_t modifiers,
                                           std::string_view except) const override {
        auto owner = find(std::to_string(vk) + "+" + std::to_string(modifiers));
        return owner == except ? std::nullopt : owner;
    }
    std::optional<std::string> messageIdOwner(std::int32_t id) const override {
        return find("#" + std::to_string(id));
    }
    std::optional<std::string> phraseOwner(std::string_view phrase, bool) const override {
        return find(std::string(phrase));
    }
    std::int32_t nextHotKeyId() override { return ++counter; }
    void enterStored(const std::string&, std::int32_t,
                     const std::optional<WantedTriggers::HotKey>&) override {}
    std::optional<std::string> find(const std::string& key) const {
        const auto found = held.find(key);
        return found == held.end() ? std::nullopt : std::optional(found->second);
    }

    std::map<std::string, std::string> held;
    std::int32_t counter = 0;
};

}  // namespace ks::test
