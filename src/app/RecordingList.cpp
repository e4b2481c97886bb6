#include "app/RecordingList.h"

#include "store/SettingsStore.h"

namespace ks {

std::string recordingTypeText(std::uint32_t type) {
    switch (type) {
        case 1: return "Keyboard & Mouse";
        case 2: return "Keyboard";
        case 3: return "Mouse";
        default: return "Unknown";
    }
}

std::vector<RecordingRow> listRecordings(SettingsStore& store) {
    std::vector<RecordingRow> rows;
    const std::string journals = std::string(kDirectRoot) + "Journals";
    Expected<std::vector<std::string>> names = store.tree().subKeys(journals);
    if (!names) {
        store.messages().show("Error opening key Software\\Quorvel\\Keystrider\\Journals in the "
                              "registry - " + limitedError(names.error()),
                              "Attention", MsgIcon::Exclamation);
        return rows;
    }
    KeyTree::Transaction reads(store.tree());
    for (std::string& name : *names) {
        const std::uint32_t type = store.GetDword(journals + "\\" + name, "Type").value_or(0);
        rows.push_back({std::move(name), recordingTypeText(type), type});
    }
    return rows;
}

}  // namespace ks
