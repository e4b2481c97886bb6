#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Clipboard.h"

namespace ks::test {

inline Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A clipboard that offers formats in a given order, records what it is
// given, and fails in one way when told to. With `holdReads` a read waits
// until the test answers it, as a slow owner would.
class FakeClipboard final : public Clipboard {
public:
    enum class Fault { None, Unreachable, Unclearable, Refusing };

    std::unique_ptr<ClipboardRead> read(const ClipboardChoice& choose,
                                        std::function<void()> answered) override {
        if (!holdReads) return Clipboard::read(choose, std::move(answered));
        held_ = std::make_shared<std::unique_ptr<ClipboardRead>>();
        ++heldReads;
        heldChoice_ = choose;
        heldAnswer_ = std::move(answered);
        return std::make_unique<HeldRead>(held_);
    }
    // Answers the last held read from what is offered now, also when its
    // reader dropped it meanwhile.
    void answerHeldRead() {
        *held_ = Clipboard::read(heldChoice_, {});
        heldAnswer_();
    }

    std::optional<std::vector<std::uint32_t>> formats() override {
        if (fault == Fault::Unreachable) return std::nullopt;
        std::vector<std::uint32_t> order;
        for (const auto& entry : offered) order.push_back(entry.first);
        return order;
    }
    std::optional<Bytes> data(std::uint32_t format) override {
        for (const auto& [offeredFormat, bytes] : offered)
            if (offeredFormat == format) return bytes;
        return std::nullopt;
    }
    bool clear() override { return offered.clear(), fault != Fault::Unclearable; }
    bool offer(std::uint32_t format, const Bytes& bytes) override {
        offered.assign({{format, bytes}});
        return fault != Fault::Refusing;
    }

    std::vector<std::pair<std::uint32_t, Bytes>> offered;
    Fault fault = Fault::None;
    bool holdReads = false;
    int heldReads = 0;

private:
    // Waiting until its answer is in.
    struct HeldRead final : ClipboardRead {
        explicit HeldRead(std::shared_ptr<std::unique_ptr<ClipboardRead>> a) : answer(a) {}
        State state() const override { return *answer ? (*answer)->state() : State::Waiting; }
        const std::optional<ClipboardContent>& content() const override {
            return (*answer)->content();
        }
        std::shared_ptr<std::unique_ptr<ClipboardRead>> answer;
    };

    std::shared_ptr<std::unique_ptr<ClipboardRead>> held_;
    ClipboardChoice heldChoice_;
    std::function<void()> heldAnswer_;
};

}  // namespace ks::test
