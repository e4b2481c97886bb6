#pragma once

#include <utility>

#include "platform/CancelWatch.h"

namespace ks::test {

// A cancel watch the test starts failing or fires by hand.
class ScriptedCancelWatch final : public CancelWatch {
  public:
    bool start(Handler onCancel) override {
        if (!startable) return false;
        handler = std::move(onCancel);
        return true;
    }
    void stop() override { handler = nullptr; }
    void fire() {
        if (!handler) return;
        const Handler onCancel = handler;  // the handler may stop the watch
        onCancel();
    }
    bool watching() const { return static_cast<bool>(handler); }

    bool startable = true;
    Handler handler;
};

}  // namespace ks::test
