#include "triggers/MessageIdTable.h"

#include <algorithm>

#include "core/Utf8.h"

namespace ks {

void MessageIdTable::set(std::int32_t id, std::string macro) {
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [id](const Entry& each) { return each.id == id; });
    if (entry != entries_.end()) {
        entry->macro = std::move(macro);
    } else {
        entries_.push_back({id, std::move(macro)});
    }
}

std::vector<MessageIdTable::Entry>::const_iterator MessageIdTable::findMacro(
    std::string_view macro) const {
    const std::string wanted = utf8::upper(macro);
    return std::find_if(entries_.begin(), entries_.end(),
                        [&wanted](const Entry& each) { return utf8::upper(each.macro) == wanted; });
}

void MessageIdTable::remove(std::string_view macro) {
    const auto entry = findMacro(macro);
    if (entry != entries_.end()) entries_.erase(entry);
}

std::string MessageIdTable::idOf(std::string_view macro) const {
    const auto entry = findMacro(macro);
    return entry == entries_.end() ? std::string() : std::to_string(entry->id);
}

std::optional<std::string> MessageIdTable::ownerOf(std::int32_t id) const {
    for (const Entry& entry : entries_) {
        if (entry.id == id) return entry.macro;
    }
    return std::nullopt;
}

}  // namespace ks
