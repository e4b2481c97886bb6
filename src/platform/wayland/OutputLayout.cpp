#include "platform/wayland/OutputLayout.h"

#include <wayland-client-protocol.h>

#include <algorithm>
#include <cstring>

#include "xdg-output-unstable-v1-client-protocol.h"

namespace ks::wayland {

struct OutputLayout::Output {
    wl_output* output = nullptr;
    zxdg_output_v1* xdg = nullptr;
    LayoutBox logical;
    bool placed = false;  // xdg-output gave the logical box
    std::int32_t modeWidth = 0;
    std::int32_t modeHeight = 0;
    std::int32_t scale = 1;
    bool turned = false;  // a quarter turn swaps width and height

    ~Output() {
        if (xdg != nullptr) zxdg_output_v1_destroy(xdg);
        if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(output);
        } else {
            wl_output_destroy(output);
        }
    }

    LayoutBox box() const {
        if (placed) return logical;
        const std::int32_t width = modeWidth / std::max(scale, 1);
        const std::int32_t height = modeHeight / std::max(scale, 1);
        return turned ? LayoutBox{0, 0, height, width} : LayoutBox{0, 0, width, height};
    }
};

namespace {

using Output = OutputLayout::Output;

const wl_output_listener kOutputListener = {
    .geometry =
        [](void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
           std::int32_t, const char*, const char*,
           std::int32_t transform) { static_cast<Output*>(data)->turned = (transform & 1) != 0; },
    .mode =
        [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
           std::int32_t) {
            if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
            static_cast<Output*>(data)->modeWidth = width;
            static_cast<Output*>(data)->modeHeight = height;
        },
    .done = [](void*, wl_output*) {},
    .scale = [](void* data, wl_output*,
                std::int32_t factor) { static_cast<Output*>(data)->scale = factor; },
    .name = [](void*, wl_output*, const char*) {},
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener = {
    .logical_position =
        [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
            auto* output = static_cast<Output*>(data);
            output->logical.x = x;
            output->logical.y = y;
        },
    .logical_size =
        [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
            auto* output = static_cast<Output*>(data);
            output->logical.width = width;
            output->logical.height = height;
            output->placed = true;
        },
    .done = [](void*, zxdg_output_v1*) {},
    .name = [](void*, zxdg_output_v1*, const char*) {},
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

}  // namespace

LayoutBox boundingBox(const std::vector<LayoutBox>& outputs) {
    if (outputs.empty()) return {};
    std::int32_t left = outputs.front().x, top = outputs.front().y;
    std::int32_t right = left + outputs.front().width, bottom = top + outputs.front().height;
    for (const LayoutBox& box : outputs) {
        left = std::min(left, box.x);
        top = std::min(top, box.y);
        right = std::max(right, box.x + box.width);
        bottom = std::max(bottom, box.y + box.height);
    }
    return {left, top, right - left, bottom - top};
}

OutputLayout::OutputLayout(wl_display* display) : queue_(display) {}

OutputLayout::~OutputLayout() {
    outputs_.clear();
    if (xdgOutputs_ != nullptr) zxdg_output_manager_v1_destroy(xdgOutputs_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
}

Result OutputLayout::start() {
    static const wl_registry_listener listener = {.global = &OutputLayout::onGlobal,
                                                  .global_remove = &OutputLayout::onGlobalRemove};
    auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(queue_.display()));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue_.get());
    registry_ = wl_display_get_registry(wrapped);
    wl_proxy_wrapper_destroy(wrapped);
    wl_registry_add_listener(registry_, &listener, this);
    // The first answer brings the globals, the second what the outputs say.
    if (Result first = queue_.roundtrip(); !first) return first;
    return queue_.roundtrip();
}

void OutputLayout::onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                            const char* interface, std::uint32_t version) {
    auto* self = static_cast<OutputLayout*>(data);
    if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->output = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 3u)));
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        self->describe(*output);
        self->outputs_[name] = std::move(output);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        self->xdgOutputs_ = static_cast<zxdg_output_manager_v1*>(wl_registry_bind(
            registry, name, &zxdg_output_manager_v1_interface, std::min(version, 3u)));
        for (auto& [outputName, output] : self->outputs_) self->describe(*output);
    }
}

void OutputLayout::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    static_cast<OutputLayout*>(data)->outputs_.erase(name);
}

void OutputLayout::describe(Output& output) {
    if (xdgOutputs_ == nullptr || output.xdg != nullptr) return;
    output.xdg = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, output.output);
    zxdg_output_v1_add_listener(output.xdg, &kXdgOutputListener, &output);
}

LayoutBox OutputLayout::box() {
    queue_.pump();
    std::vector<LayoutBox> boxes;
    for (const auto& [name, output] : outputs_) boxes.push_back(output->box());
    return boundingBox(boxes);
}

}  // namespace ks::wayland
