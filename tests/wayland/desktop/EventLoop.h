#pragma once

#include <chrono>
#include <functional>

#include <QCoreApplication>

#include "XvfbSession.h"

namespace ks::test {

// Runs Qt's event loop, where the services read their connections, until
// `holds` answers true or `limit` passed; whether it did.
inline bool pumpUntil(const std::function<bool()>& holds,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return eventually(
        [&] {
            QCoreApplication::processEvents();
            return holds();
        },
        limit);
}

}  // namespace ks::test
