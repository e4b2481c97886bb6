#pragma once

#include <QAbstractTableModel>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "journal/EventRows.h"
#include "journal/JournalEvent.h"

namespace ks {

// One copied row: the event, the interval its row showed and its name.
struct ClippedEvent {
    JournalEvent event;
    std::uint32_t interval = 0;
    std::string name;
};

// The recording editor's copied events.
struct EventClipboard {
    std::vector<ClippedEvent> events;
};

// The recording editor's event list over the event array itself: a row is
// described only when the view asks for it, so a recording of any length
// opens at once. Every edit keeps each row's interval where the edit says it
// stays: event i's time is event i-1's time plus row i's interval, and the
// first event keeps a real tick.
class RecordingEditorModel final : public QAbstractTableModel {
public:
    enum Column { EventColumn, IntervalColumn, KeyColumn, XColumn, YColumn, ColumnCount };

    // Events that are no known input event are reported once, here.
    RecordingEditorModel(std::vector<JournalEvent> events, KeyNamer keyName, Messages& messages,
                         QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<JournalEvent>& events() const { return events_; }
    // The row's delay after the previous event; 0 for the first row.
    std::uint32_t interval(std::size_t row) const;

    // Inserts `event` before `row` (or at the end) `interval` after its
    // predecessor; its window is its neighbour's. Later rows keep their
    // intervals. Before the first row, where no interval shows, the
    // interval separates the new event from the old first one instead.
    void insertEvent(std::size_t row, JournalEvent event, std::uint32_t interval);
    // Replaces the row's message and parameters and its interval.
    void replaceEvent(std::size_t row, const JournalEvent& event, std::uint32_t interval);
    // Removes the rows (ascending); each later event keeps its interval to
    // its new predecessor, a new first event its own time.
    void removeEvents(const std::vector<int>& rows);
    // Moves each row one place; false, and nothing moved, at the list's end.
    bool moveUp(const std::vector<int>& rows);
    bool moveDown(const std::vector<int>& rows);
    std::vector<ClippedEvent> copy(const std::vector<int>& rows) const;
    // Inserts the copied events before `row` (or at the end) with their
    // copied intervals, as insertEvent does for one.
    void paste(std::size_t row, const std::vector<ClippedEvent>& clipped);

private:
    void insertBlock(std::size_t row, std::vector<JournalEvent> block,
                     const std::vector<std::uint32_t>& intervals);
    void shiftFrom(std::size_t row, std::uint32_t delta);
    void swapContents(std::size_t a, std::size_t b);
    void rowsChanged(std::size_t first, std::size_t last);

    std::vector<JournalEvent> events_;
    KeyNamer keyName_;
};

}  // namespace ks
