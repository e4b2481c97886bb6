#include "journal/RecordingStore.h"

#include <algorithm>

#include "core/Utf8.h"
#include "store/OneChange.h"
#include "store/StoreKey.h"
#include "store/StorePath.h"

namespace ks {

namespace {

constexpr const char* kNameInUse =
    "Recording name already in use.\n\nPlease select a different name.";

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

void showAttention(Messages& messages, std::string text) {
    messages.show(std::move(text), "Attention", MsgIcon::Exclamation);
}

void showError(Messages& messages, std::string text) {
    messages.show(std::move(text), "Error", MsgIcon::Stop);
}

bool writePieces(SettingsStore& store, std::string_view name,
                 const std::vector<JournalEvent>& events, std::uint32_t type) {
    if (!store.CreateRecordingKey(name)) return false;
    const std::string subpath = RecordingKey(name).key().rootSubpath();
    const Bytes bytes = eventBytes(events);
    std::uint32_t count = 0;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kPieceBytes, ++count) {
        const std::size_t length = std::min(kPieceBytes, bytes.size() - offset);
        if (!store.WriteBinary(bytes.data() + offset, length, subpath, std::to_string(count))) {
            return false;
        }
    }
    return store.WriteDword(count, subpath, "Count") && store.WriteDword(type, subpath, "Type");
}

}  // namespace

std::vector<RecordingRow> listRecordings(SettingsStore& store) {
    std::vector<RecordingRow> rows;
    KeyTree& tree = store.tree();
    if (Result open = tree.openKey(StoreKey::journals().treePath()); !open) {
        showAttention(store.messages(), std::string("Error opening key ") +
                                            StoreKey::journals().treePath() +
                                            " in the registry - " + limitedError(open.error()));
        return rows;
    }
    for (std::size_t index = 0;; ++index) {
        Expected<std::string> name = tree.enumKey(StoreKey::journals().treePath(), index);
        if (!name) break;
        const auto type = store.GetDword(RecordingKey(*name).key().direct(), "Type");
        rows.push_back({*name, std::string(recordingTypeText(type)), type.value_or(0)});
    }
    return rows;
}

bool WriteRecording(SettingsStore& store, std::string_view name,
                    const std::vector<JournalEvent>& events, std::uint32_t type) {
    return asOneChange(
        store, [&](SettingsStore& inner) { return writePieces(inner, name, events, type); });
}

std::optional<std::vector<JournalEvent>> loadRecordingForPlayback(SettingsStore& store,
                                                                  std::string_view name) {
    const std::string subpath = RecordingKey(name).key().rootSubpath();
    const auto count = store.ReadDword(subpath, "Count");
    if (!count) return std::nullopt;
    Bytes bytes;
    for (std::uint32_t piece = 0; piece < *count; ++piece) {
        auto data = store.ReadBinary(subpath, std::to_string(piece));
        if (!data) return std::nullopt;
        bytes.insert(bytes.end(), data->begin(), data->end());
    }
    return eventsFromBytes(bytes);
}

std::optional<std::vector<JournalEvent>> loadRecordingForEditing(SettingsStore& store,
                                                                 std::string_view name) {
    Messages& messages = store.messages();
    if (name.empty()) {
        showError(messages, "Must enter a recording name.");
        return std::nullopt;
    }
    const std::string key = RecordingKey(name).key().direct();
    const auto count = store.GetDword(key, "Count");
    if (!count) {
        showError(messages, "Can't find recording: " + std::string(name));
        return std::nullopt;
    }
    Bytes bytes;
    for (std::uint32_t piece = 0; piece < *count; ++piece) {
        auto data = store.GetBinary(key, std::to_string(piece));
        if (!data || data->size() > kPieceBytes) {
            showError(messages, "Error reading recording: " + std::string(name));
            return std::nullopt;
        }
        bytes.insert(bytes.end(), data->begin(), data->end());
    }
    return eventsFromBytes(bytes);
}

bool deleteRecording(SettingsStore& store, std::string_view name) {
    return store.DeleteKeyTree(RecordingKey(name).key().treePath());
}

namespace {

// A name the recording can be stored under: not empty, and keeping the
// name rule of every stored item.
bool acceptableName(Messages& messages, std::string_view name) {
    if (name.empty()) {
        showAttention(messages, "Recording name must not be empty!");
        return false;
    }
    if (const auto fault = itemNameFault(name)) {
        showAttention(messages, "Recording name must not contain " +
                                    std::string(nameFaultText(*fault)) + "!");
        return false;
    }
    return true;
}

}  // namespace

bool saveNewRecording(SettingsStore& store, std::optional<std::vector<JournalEvent>>& buffer,
                      const std::string& name, const std::vector<std::string>& listedNames,
                      std::uint32_t type) {
    Messages& messages = store.messages();
    if (!buffer) {
        showAttention(messages, "A recording has not been made!");
        return false;
    }
    if (!acceptableName(messages, name)) return false;
    // A recording the list does not show yet (added behind the dialog's
    // back) is not overwritten either.
    const bool listed =
        std::any_of(listedNames.begin(), listedNames.end(),
                    [&](const std::string& row) { return utf8::sameName(row, name); });
    if (listed || store.tree().keyExists(RecordingKey(name).key().treePath())) {
        messages.show(kNameInUse, "Keystrider - Warning", MsgIcon::Exclamation);
        return false;
    }
    // The Control key-downs of the Ctrl+Break that ended the recording.
    std::vector<JournalEvent>& events = *buffer;
    while (!events.empty() && events.back().message == kWmKeyDown &&
           virtualKeyOf(events.back()) == kVkControl) {
        events.pop_back();
    }
    if (!WriteRecording(store, name, events, type)) return false;
    buffer.reset();
    return true;
}

bool saveEditedRecording(SettingsStore& store, std::vector<JournalEvent>& events,
                         std::string_view name, std::string_view openedName, std::uint32_t type) {
    Messages& messages = store.messages();
    if (events.empty()) {
        showAttention(messages, "Recording is empty!");
        return false;
    }
    // A name of blanks only would trim to the recordings' own key.
    const std::string_view newName = trimmed(name);
    if (!acceptableName(messages, newName)) return false;
    if (!utf8::sameName(newName, openedName) &&
        store.tree().keyExists(RecordingKey(newName).key().treePath())) {
        messages.show(kNameInUse, "Keystrider - Warning", MsgIcon::Exclamation);
        return false;
    }
    const bool replaced = asOneChange(store, [&](SettingsStore& inner) {
        if (!deleteRecording(inner, openedName)) {
            inner.messages().show("Error deleting previous recording from registry.",
                                  "Keystrider - Error", MsgIcon::Stop);
            return false;
        }
        return writePieces(inner, newName, events, type);
    });
    if (replaced) events = {};
    return replaced;
}

bool saveRecordingAs(SettingsStore& store, const std::vector<JournalEvent>& events,
                     std::string_view name, std::uint32_t type) {
    Messages& messages = store.messages();
    const std::string_view newName = trimmed(name);
    if (!acceptableName(messages, newName)) return false;
    if (store.tree().keyExists(RecordingKey(newName).key().treePath())) {
        messages.show(kNameInUse, "Keystrider - Warning", MsgIcon::Exclamation);
        return false;
    }
    if (events.empty()) {
        showAttention(messages, "Recording is empty!");
        return false;
    }
    return WriteRecording(store, newName, events, type);
}

std::vector<std::string> DeleteSelectedRecordings(SettingsStore& store,
                                                  const std::vector<std::string>& selected) {
    Messages& messages = store.messages();
    std::vector<std::string> deleted;
    if (selected.empty()) {
        messages.show("No recording(s) selected!", "Attention", MsgIcon::Exclamation,
                      MsgButtons::Ok, MsgOwner::MainWindow);
        return deleted;
    }
    if (messages.show("Are you sure you want to delete the selected recording(s)?", "Warning",
                      MsgIcon::Exclamation, MsgButtons::YesNo,
                      MsgOwner::MainWindow) != MsgAnswer::Yes) {
        return deleted;
    }
    for (const std::string& name : selected) {
        if (deleteRecording(store, name)) {
            deleted.push_back(name);
        } else {
            messages.show("Unable to delete recording: " + name, "Attention", MsgIcon::Exclamation,
                          MsgButtons::Ok, MsgOwner::MainWindow);
        }
    }
    return deleted;
}

}  // namespace ks
