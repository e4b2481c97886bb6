#pragma once

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/HotKeys.h"

namespace ks::test {

// Records registrations; refuses a combination already held, as the X server
// does, and any combination listed in `refused`.
class RecordingHotKeys final : public HotKeys {
public:
    struct Call {
        std::string what;  // "register" or "unregister"
        std::int32_t id;
        std::uint32_t modifiers;
        std::uint32_t vk;
        bool operator==(const Call&) const = default;
    };

    Result registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) override {
        calls.push_back({"register", id, modifiers, vk});
        const auto combination = std::pair{modifiers, vk};
        for (const auto& [heldId, held] : held_) {
            if (held == combination) return Result::failure(kRefusal);
        }
        if (refused.count(combination) != 0) return Result::failure(kRefusal);
        held_.emplace_back(id, combination);
        return Result::success();
    }

    Result unregisterHotKey(std::int32_t id) override {
        calls.push_back({"unregister", id, 0, 0});
        for (auto it = held_.begin(); it != held_.end(); ++it) {
            if (it->first == id) {
                held_.erase(it);
                return Result::success();
            }
        }
        return Result::failure("not registered");
    }

    void setPressedHandler(PressedHandler handler) override { pressed = std::move(handler); }

    bool holds(std::int32_t id) const {
        for (const auto& entry : held_) {
            if (entry.first == id) return true;
        }
        return false;
    }

    static constexpr const char* kRefusal = "BadAccess (attempt to access private resource denied)";

    std::vector<Call> calls;
    std::set<std::pair<std::uint32_t, std::uint32_t>> refused;  // (modifiers, vk)
    PressedHandler pressed;

private:
    std::vector<std::pair<std::int32_t, std::pair<std::uint32_t, std::uint32_t>>> held_;
};

}  // namespace ks::test
