#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/Messages.h"

namespace ks {

// Exit statuses of keystrider-store.
enum StoreToolExit : int {
    kExitDone = 0,
    kExitNotFound = 1,      // the key or value does not exist
    kExitBadInput = 2,      // bad usage, bad data, a malformed .reg file
    kExitStoreFailure = 3,  // the store file could not be read or written
};

// Runs one keystrider-store command line (without the program name): output
// goes to `in`/`out`, every failure as one message to `messages`.
int runStoreTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                 Messages& messages);

}  // namespace ks
