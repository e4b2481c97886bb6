#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "CommandFixture.h"
#include "FakeExpander.h"
#include "RecordingInput.h"
#include "XvfbSession.h"
#include "keys/KeyboardMouseCommands.h"
#include "platform/x11/X11Platform.h"

namespace ks::test {

// One private X server for every test of an executable, the program's X11
// services on it, and the input commands over a store in a fresh folder.
class X11Fixture : public CommandFixture {
protected:
    static void SetUpTestSuite() { session_ = std::make_unique<XvfbSession>(); }
    static void TearDownTestSuite() { session_.reset(); }

    X11Fixture()
        : platform(openPlatform()),
          commands(*store, messages, expander,
                   InputServices{platform->keymap(), platform->injector(), platform->spareKeys(),
                                 platform->keyboard(), platform->windows()}) {}

    static XvfbSession& session() { return *session_; }

    FakeExpander expander;
    std::unique_ptr<x11::X11Platform> platform;
    KeyboardMouseCommands commands;

private:
    static std::unique_ptr<x11::X11Platform> openPlatform() {
        auto opened = x11::X11Platform::open(session_->display());
        if (!opened) throw std::runtime_error(opened.error());
        return std::move(*opened);
    }

    static inline std::unique_ptr<XvfbSession> session_;
};

// Switches the test server's layout (with one XKB option, or none), and
// back to plain US when it goes.
class LayoutGuard {
public:
    LayoutGuard(const XvfbSession& session, const std::string& layout,
                const std::string& option = {})
        : session_(session) {
        EXPECT_TRUE(session_.run({"setxkbmap", "-option", "", "-option", option, layout}));
    }
    ~LayoutGuard() { session_.run({"setxkbmap", "-option", "", "us"}); }
    LayoutGuard(const LayoutGuard&) = delete;
    LayoutGuard& operator=(const LayoutGuard&) = delete;

private:
    const XvfbSession& session_;
};

}  // namespace ks::test
