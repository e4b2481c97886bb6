#pragma once

#include <functional>

#include "store/SettingsStore.h"

namespace ks {

// Runs `change` against the store as one transaction: committed when it
// returns true, rolled back otherwise. The boxes raised inside (the store's
// failures, and any the change shows on the store's messages) are held until
// the transaction has ended, so that no other writer of the file waits on
// the store's lock while a box is open; held boxes are answered OK.
bool asOneChange(SettingsStore& store, const std::function<bool(SettingsStore& inner)>& change);

}  // namespace ks
