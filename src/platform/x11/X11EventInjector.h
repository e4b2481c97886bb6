#pragma once

#include <memory>
#include <string>

#include "platform/EventInjector.h"

namespace ks {

// Synthesises input with XTest on a connection of its own.
class X11EventInjector final : public EventInjector {
public:
    // An empty name injects into the session's display ($DISPLAY).
    explicit X11EventInjector(const std::string& displayName = {});
    ~X11EventInjector() override;

    bool available() override;
    void key(std::uint8_t virtualKey, bool down) override;
    void motion(std::int32_t x, std::int32_t y) override;
    void button(unsigned number, bool down) override;
    void flush() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ks
