#include "platform/evdev/EvdevServices.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <utility>

namespace ks::evdev {
namespace {

// A message box shown inside a watch's start() would run a nested event loop
// in the middle of it, and the keyboard-watch thread may show none at all.
std::function<void(const std::string&)> onGuiThread(std::function<void(const std::string&)> show) {
    return [show = std::move(show)](const std::string& text) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [show, text] { show(text); }, Qt::QueuedConnection);
    };
}

}  // namespace

EvdevServices::EvdevServices(std::function<void(const std::string&)> showNotice, std::string folder)
    : access_(onGuiThread(std::move(showNotice))),
      setup_{*seatKeymap_, access_, std::move(folder)} {}

std::unique_ptr<InputCapture> EvdevServices::makeCapture() const {
    return std::make_unique<EvdevInputCapture>(setup_);
}

std::unique_ptr<KeyWatch> EvdevServices::makeKeyWatch() const {
    return std::make_unique<EvdevKeyWatch>(setup_);
}

std::unique_ptr<CancelWatch> EvdevServices::makeCancelWatch() const {
    return std::make_unique<EvdevCancelWatch>(setup_);
}

}  // namespace ks::evdev
