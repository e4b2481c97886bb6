#include "editors/RecordingEditorModel.h"

#include <algorithm>
#include <numeric>

namespace ks {
namespace {

constexpr const char* kHeaders[] = {"Event", "Interval millisecond(s)", "Key",
                                    "X Coord:", "Y Coord:"};

// Rows are described as the view paints them; their complaints were made
// once when the recording was opened.
class QuietMessages final : public Messages {
public:
    using Messages::show;
    MsgAnswer show(const MessageBox&) override { return MsgAnswer::Ok; }
};

bool describedWithComplaint(std::uint32_t message) {
    const std::string_view name = eventDisplayName(message);
    return name.empty() || name.rfind("UNKNOWN", 0) == 0;
}

// The window field a new or replaced event gets: a wheel event keeps its
// delta there, so it turns one notch rather than a window number's worth.
std::uint32_t windowFieldFor(std::uint32_t message, std::uint32_t neighbour) {
    return message == kWmMouseWheel ? static_cast<std::uint32_t>(kWheelDelta) : neighbour;
}

}  // namespace

RecordingEditorModel::RecordingEditorModel(std::vector<JournalEvent> events, KeyNamer keyName,
                                           Messages& messages, QObject* parent)
    : QAbstractTableModel(parent), events_(std::move(events)), keyName_(std::move(keyName)) {
    for (std::size_t i = 0; i < events_.size(); ++i) {
        if (describedWithComplaint(events_[i].message)) {
            describeEvent(events_, i, keyName_, messages);
        }
    }
}

int RecordingEditorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(events_.size());
}

int RecordingEditorModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordingEditorModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    QuietMessages quiet;
    const EventRow row =
        describeEvent(events_, static_cast<std::size_t>(index.row()), keyName_, quiet);
    const std::string* const fields[] = {&row.name, &row.interval, &row.key, &row.x, &row.y};
    return QString::fromStdString(*fields[index.column()]);
}

QVariant RecordingEditorModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    return QString::fromLatin1(kHeaders[section]);
}

std::uint32_t RecordingEditorModel::interval(std::size_t row) const {
    return row == 0 ? 0 : events_[row].time - events_[row - 1].time;
}

void RecordingEditorModel::insertEvent(std::size_t row, JournalEvent event,
                                       std::uint32_t interval) {
    const std::uint32_t neighbour = events_.empty() ? 0 : events_[row == 0 ? 0 : row - 1].hwnd;
    event.hwnd = windowFieldFor(event.message, neighbour);
    insertBlock(row, {event}, {interval});
}

void RecordingEditorModel::replaceEvent(std::size_t row, const JournalEvent& event,
                                        std::uint32_t interval) {
    JournalEvent& target = events_[row];
    target.message = event.message;
    target.paramL = event.paramL;
    target.paramH = event.paramH;
    target.hwnd = windowFieldFor(event.message, target.hwnd);
    if (row > 0) shiftFrom(row, interval - this->interval(row));
    rowsChanged(row, events_.size() - 1);
}

void RecordingEditorModel::removeEvents(const std::vector<int>& rows) {
    if (rows.empty()) return;
    // New times first, from the original ones: each kept event follows its
    // new predecessor by its own interval.
    std::uint32_t previousOriginal = 0;
    std::size_t next = 0;
    bool keptAny = false;
    std::uint32_t previousKept = 0;
    for (std::size_t i = 0; i < events_.size(); ++i) {
        const std::uint32_t original = events_[i].time;
        const bool removed = next < rows.size() && static_cast<std::size_t>(rows[next]) == i;
        if (removed) {
            ++next;
        } else {
            if (keptAny) events_[i].time = previousKept + (original - previousOriginal);
            previousKept = events_[i].time;
            keptAny = true;
        }
        previousOriginal = original;
    }
    // Then the rows, one contiguous run at a time from the end.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] + 1 == rows[begin]) --begin;
        beginRemoveRows({}, rows[begin], rows[end - 1]);
        events_.erase(events_.begin() + rows[begin], events_.begin() + rows[end - 1] + 1);
        endRemoveRows();
        end = begin;
    }
    if (!events_.empty()) {
        rowsChanged(std::min<std::size_t>(rows.front(), events_.size() - 1), events_.size() - 1);
    }
}

bool RecordingEditorModel::moveUp(const std::vector<int>& rows) {
    if (rows.empty() || rows.front() == 0) return false;
    for (int row : rows) swapContents(row - 1, row);
    rowsChanged(rows.front() - 1, rows.back());
    return true;
}

bool RecordingEditorModel::moveDown(const std::vector<int>& rows) {
    if (rows.empty() || static_cast<std::size_t>(rows.back()) + 1 >= events_.size()) return false;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) swapContents(*row, *row + 1);
    rowsChanged(rows.front(), rows.back() + 1);
    return true;
}

std::vector<ClippedEvent> RecordingEditorModel::copy(const std::vector<int>& rows) const {
    std::vector<ClippedEvent> clipped;
    clipped.reserve(rows.size());
    for (int row : rows) {
        const JournalEvent& event = events_[row];
        clipped.push_back({event, interval(row), std::string(eventDisplayName(event.message))});
    }
    return clipped;
}

void RecordingEditorModel::paste(std::size_t row, const std::vector<ClippedEvent>& clipped) {
    if (clipped.empty()) return;
    std::vector<JournalEvent> block;
    std::vector<std::uint32_t> intervals;
    for (const ClippedEvent& entry : clipped) {
        block.push_back(entry.event);
        intervals.push_back(entry.interval);
    }
    insertBlock(row, std::move(block), intervals);
}

// The block's first event follows the event before `row` by its interval;
// at the top it takes the old first event's tick, which then follows the
// block by that interval. Times wrap as the tick does.
void RecordingEditorModel::insertBlock(std::size_t row, std::vector<JournalEvent> block,
                                       const std::vector<std::uint32_t>& intervals) {
    std::uint32_t time = events_.empty() ? 0
                         : row == 0      ? events_.front().time - intervals.front()
                                         : events_[row - 1].time;
    for (std::size_t i = 0; i < block.size(); ++i) {
        time += intervals[i];
        block[i].time = time;
    }
    shiftFrom(row, std::accumulate(intervals.begin(), intervals.end(), std::uint32_t{0}));
    const int first = static_cast<int>(row);
    beginInsertRows({}, first, first + static_cast<int>(block.size()) - 1);
    events_.insert(events_.begin() + static_cast<std::ptrdiff_t>(row), block.begin(), block.end());
    endInsertRows();
    rowsChanged(row + block.size(), events_.size() - 1);
}

void RecordingEditorModel::shiftFrom(std::size_t row, std::uint32_t delta) {
    for (std::size_t i = row; i < events_.size(); ++i) events_[i].time += delta;
}

void RecordingEditorModel::swapContents(std::size_t a, std::size_t b) {
    std::swap(events_[a].message, events_[b].message);
    std::swap(events_[a].paramL, events_[b].paramL);
    std::swap(events_[a].paramH, events_[b].paramH);
}

void RecordingEditorModel::rowsChanged(std::size_t first, std::size_t last) {
    if (first > last || last >= events_.size()) return;
    emit dataChanged(index(static_cast<int>(first), 0),
                     index(static_cast<int>(last), ColumnCount - 1));
}

}  // namespace ks
