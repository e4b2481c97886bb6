#pragma once

namespace ks {

class SettingsStore;

inline constexpr unsigned kLayoutVersion = 2002;

// Brings macros stored in the older layout (numbers where texts are now
// kept, missing SEND DATE/TIME elements and MESSAGE BOX options) up to date.
// Runs at every start; does nothing once CnvDone is 2002.
void convertStoreLayout(SettingsStore& store);

}  // namespace ks
