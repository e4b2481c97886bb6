#include "platform/x11/ToolkitWindows.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

namespace ks::x11 {

bool madeOnToolkitConnection(unsigned long window) {
    const auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto* x11 =
        gui != nullptr ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr) return false;
    // The server hands each connection its own range of resource ids.
    const xcb_setup_t* setup = xcb_get_setup(x11->connection());
    return (window & ~static_cast<unsigned long>(setup->resource_id_mask)) ==
           setup->resource_id_base;
}

}  // namespace ks::x11
