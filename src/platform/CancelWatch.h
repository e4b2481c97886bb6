#pragma once

#include <functional>

namespace ks {

// Reports the user's cancel gesture, Ctrl+Esc pressed on a physical
// keyboard. Keys synthesised by this or any other program never count.
class CancelWatch {
public:
    using Handler = std::function<void()>;

    CancelWatch() = default;
    CancelWatch(const CancelWatch&) = delete;
    CancelWatch& operator=(const CancelWatch&) = delete;
    virtual ~CancelWatch() = default;

    // Calls `onCancel` on the GUI thread at each cancel gesture until
    // stop(). False when the keyboard cannot be watched.
    virtual bool start(Handler onCancel) = 0;
    virtual void stop() = 0;
};

}  // namespace ks
