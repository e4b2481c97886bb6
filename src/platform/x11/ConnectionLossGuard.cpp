#include "platform/x11/ConnectionLossGuard.h"

#include <mutex>
#include <set>

namespace ks::x11 {
namespace {

// Xlib's error handlers are process-wide and may run on any thread that
// meets a broken connection.
std::mutex registryMutex;
std::set<Display*> watchedDisplays;
XIOErrorHandler replacedHandler = nullptr;

int surviveWatchedLoss(Display* display) {
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        if (watchedDisplays.count(display) != 0) return 0;
        previous = replacedHandler;
    }
    // A handler installed after this one that hands over to it would come
    // back here; then the display's own exit handler decides.
    thread_local bool handingOver = false;
    if (handingOver || previous == nullptr) return 0;
    handingOver = true;
    const int result = previous(display);
    handingOver = false;
    return result;
}

// Installs the process-wide handler again when someone (Qt's xcb platform,
// created after the first guard) replaced it since.
void installSurvivingHandler() {
    std::lock_guard<std::mutex> lock(registryMutex);
    const XIOErrorHandler previous = XSetIOErrorHandler(&surviveWatchedLoss);
    if (previous != &surviveWatchedLoss) replacedHandler = previous;
}

}  // namespace

ConnectionLossGuard::ConnectionLossGuard(std::function<void()> onLost)
    : onLost_(std::move(onLost)) {}

ConnectionLossGuard::~ConnectionLossGuard() {
    forget();
}

void ConnectionLossGuard::watch(Display* display) {
    installSurvivingHandler();
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        watchedDisplays.insert(display);
    }
    displays_.push_back(display);
    XSetIOErrorExitHandler(display, &ConnectionLossGuard::noteLoss, this);
}

void ConnectionLossGuard::forget() {
    std::lock_guard<std::mutex> lock(registryMutex);
    for (Display* display : displays_) watchedDisplays.erase(display);
    displays_.clear();
}

void ConnectionLossGuard::noteLoss(Display*, void* guard) {
    static_cast<ConnectionLossGuard*>(guard)->onLost_();
}

}  // namespace ks::x11
