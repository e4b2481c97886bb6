#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Clipboard.h"

namespace ks::test {

// A clipboard that offers formats in a given order, records what it is
// given, and fails in one way when told to.
class FakeClipboard final : public Clipboard {
public:
    enum class Fault { None, Unreachable, Unclearable, Refusing };

    std::optional<std::vector<std::uint32_t>> formats() override {
        if (fault == Fault::Unreachable) return std::nullopt;
        std::vector<std::uint32_t> order;
        for (const auto& entry : offered) order.push_back(entry.first);
        return order;
    }
    std::optional<Bytes> data(std::uint32_t format) override {
        for (const auto& [offeredFormat, bytes] : offered) {
            if (offeredFormat == format) return bytes;
        }
        return std::nullopt;
    }
    bool clear() override { return offered.clear(), fault != Fault::Unclearable; }
    bool offer(std::uint32_t format, const Bytes& bytes) override {
        offered.assign({{format, bytes}});
        return fault != Fault::Refusing;
    }

    std::vector<std::pair<std::uint32_t, Bytes>> offered;
    Fault fault = Fault::None;
};

}  // namespace ks::test
