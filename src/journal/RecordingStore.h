#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/JournalEvent.h"
#include "store/SettingsStore.h"

namespace ks {

// Events per stored piece, and the piece's size in bytes.
inline constexpr std::size_t kEventsPerPiece = 800;
inline constexpr std::size_t kPieceBytes = kEventsPerPiece * kJournalEventSize;

// One row of a recording list. `type` is the stored code, 0 when it is missing.
struct RecordingRow {
    std::string name;
    std::string typeText;
    std::uint32_t type = 0;

    friend bool operator==(const RecordingRow&, const RecordingRow&) = default;
};

// The recordings in the store's enumeration order. When the recordings' key
// cannot be opened, says so and gives no rows.
std::vector<RecordingRow> listRecordings(SettingsStore& store);

// Stores the events cut into pieces, then `Count` and `Type`, as one change:
// a failure leaves the store as it was (after the failing operation's message).
bool WriteRecording(SettingsStore& store, std::string_view name,
                    const std::vector<JournalEvent>& events, std::uint32_t type);

// The events for playback: `Count`, then pieces "0" upward concatenated, of
// any size. Empty when a read failed (the store has shown its message).
std::optional<std::vector<JournalEvent>> loadRecordingForPlayback(SettingsStore& store,
                                                                  std::string_view name);

// The events for the recording editor: every piece must exist and hold at
// most one piece's worth of bytes. Failures show the editor's own messages.
std::optional<std::vector<JournalEvent>> loadRecordingForEditing(SettingsStore& store,
                                                                 std::string_view name);

bool deleteRecording(SettingsStore& store, std::string_view name);

// The recorder's save. `buffer` is empty when no recording was made; it is
// released on success. `listedNames` are the main window's recording rows.
// Returns false when the recorder's dialog must stay open.
bool saveNewRecording(SettingsStore& store, std::optional<std::vector<JournalEvent>>& buffer,
                      const std::string& name, const std::vector<std::string>& listedNames,
                      std::uint32_t type);

// The recording editor's save: replaces the recording the editor was opened
// with (`openedName`) by the edited events under `name`. The replacement is
// one change, so a failed write keeps the old recording. `events` is released
// on success. Returns false when the editor must stay open.
bool saveEditedRecording(SettingsStore& store, std::vector<JournalEvent>& events,
                         std::string_view name, std::string_view openedName, std::uint32_t type);

// The recording editor's save under a new name: writes `events` as an
// additional recording `name` (trimmed), which must not exist yet. Returns
// false, after its message, when the editor must stay open.
bool saveRecordingAs(SettingsStore& store, const std::vector<JournalEvent>& events,
                     std::string_view name, std::uint32_t type);

// The main window's "Dele&te" for the selected rows, in list order: asks
// first, deletes each, reports each one that could not be deleted. Gives the
// names that were deleted, whose rows leave the list.
std::vector<std::string> DeleteSelectedRecordings(SettingsStore& store,
                                                  const std::vector<std::string>& selected);

}  // namespace ks
