#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/HotKeys.h"

namespace ks::test {

// Logs "register id modifiers vk" and "unregister id"; refuses a held
// combination as X does.
class RecordingHotKeys final : public HotKeys {
public:
    Result registerHotKey(std::int32_t id, std::uint32_t modifiers, std::uint32_t vk) override {
        calls.push_back("register " + std::to_string(id) + " " + std::to_string(modifiers) + " " +
                        std::to_string(vk));
        const std::pair combination{modifiers, vk};
        for (const auto& entry : held_)
            if (entry.second == combination) return Result::failure(kRefusal);
        held_[id] = combination;
        return Result::success();
    }
    Result unregisterHotKey(std::int32_t id) override {
        calls.push_back("unregister " + std::to_string(id));
        return held_.erase(id) != 0 ? Result::success() : Result::failure("not registered");
    }
    void setPressedHandler(PressedHandler) override {}
    void setSuspended(bool) override {}

    static constexpr const char* kRefusal = "BadAccess (attempt to access private resource denied)";

    std::vector<std::string> calls;

private:
    std::map<std::int32_t, std::pair<std::uint32_t, std::uint32_t>> held_;  // modifiers, vk
};

}  // namespace ks::test
