#pragma once

#include <string>
#include <vector>

#include "core/Result.h"

namespace ks {

// Starts programs and opens documents for the user, never through a shell.
class Launcher {
public:
    Launcher() = default;
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;
    virtual ~Launcher() = default;

    // A program (an executable binary or script) is started with `arguments` in `folder` (empty:
    // the program's own folder), on its own: it outlives this program. Anything else, a document,
    // folder or address, is opened with the desktop's application for it. A relative `file` is
    // looked for in `folder`, then on the search path. Fails when nothing could be started.
    virtual Result open(const std::string& file, const std::vector<std::string>& arguments,
                        const std::string& folder) = 0;
};

}  // namespace ks
