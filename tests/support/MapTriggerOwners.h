#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "triggers/TriggerOwners.h"

namespace ks::test {

// Trigger holders kept in maps: hot keys as "vk+modifiers", message ids and
// phrases as they are asked for.
class MapTriggerOwners final : public TriggerOwners {
public:
    std::optional<std::string> hotKeyOwner(std::uint32_t vk, std::uint32_t modifiers,
                                           std::string_view except) const override {
        auto owner = find(hotKeys, std::to_string(vk) + "+" + std::to_string(modifiers));
        return owner == except ? std::nullopt : owner;
    }
    std::optional<std::string> messageIdOwner(std::int32_t id) const override {
        return find(messageIds, id);
    }
    std::optional<std::string> phraseOwner(std::string_view phrase, bool) const override {
        return find(phrases, std::string(phrase));
    }

    std::map<std::string, std::string> hotKeys, phrases;
    std::map<std::int32_t, std::string> messageIds;

private:
    template <typename Key>
    static std::optional<std::string> find(const std::map<Key, std::string>& table,
                                           const Key& key) {
        const auto found = table.find(key);
        return found == table.end() ? std::nullopt : std::optional(found->second);
    }
};

}  // namespace ks::test
