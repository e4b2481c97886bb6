#pragma once

#include <string>
#include <vector>

#include "platform/x11/OwnDisplay.h"

namespace ks::x11 {

// Tells whether the visible window list may have changed since it was last
// read, from events on a connection of its own: the root's client list and
// children, and the titles and types of the windows listed. A caller that
// keeps the list then reads it again only when something happened, so that
// looking at it ten times a second costs next to nothing. Its events wait
// until changed() reads them: keep one only while it is asked.
class WindowListWatch {
public:
    // Nothing is watched when the display cannot be opened; changed() then
    // always answers true.
    explicit WindowListWatch(const std::string& displayName);

    // Watches `windows` from now on; returns once the server has taken that
    // on, so that any change after the return is seen.
    void watch(const std::vector<unsigned long>& windows);
    // Whether a change arrived since the last call; takes every waiting event.
    bool changed();

private:
    OwnDisplay display_;
    bool changed_ = true;
    std::vector<unsigned long> watchedAtoms_;
};

}  // namespace ks::x11
