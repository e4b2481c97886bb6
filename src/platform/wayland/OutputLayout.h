#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "core/Result.h"
#include "platform/wayland/EventQueue.h"

struct wl_registry;
struct zxdg_output_manager_v1;

namespace ks::wayland {

// A rectangle of the output layout, in the compositor's logical pixels.
struct LayoutBox {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const LayoutBox&) const = default;
};

// The box around all of `outputs`; empty for none.
LayoutBox boundingBox(const std::vector<LayoutBox>& outputs);

// Where the compositor places its outputs, followed as they come, go and
// change. Positions come from xdg-output where the compositor offers it;
// without it every output is taken to lie at the origin, its size its mode
// over its scale.
class OutputLayout {
public:
    explicit OutputLayout(wl_display* display);
    ~OutputLayout();
    OutputLayout(const OutputLayout&) = delete;
    OutputLayout& operator=(const OutputLayout&) = delete;

    // Reads the outputs once; fails when the connection does.
    Result start();
    // The box around the outputs as announced so far.
    LayoutBox box();

    struct Output;

private:
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    void describe(Output& output);

    EventQueue queue_;
    wl_registry* registry_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    std::map<std::uint32_t, std::unique_ptr<Output>> outputs_;
};

}  // namespace ks::wayland
