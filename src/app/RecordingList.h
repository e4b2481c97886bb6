#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ks {

class SettingsStore;

struct RecordingRow {
    std::string name;
    std::string typeText;
    std::uint32_t type = 0;  // 0 when `Type` cannot be read
};

// The recordings in the store's order with the display text of their type.
std::vector<RecordingRow> listRecordings(SettingsStore& store);

std::string recordingTypeText(std::uint32_t type);

}  // namespace ks
