#include "triggers/PhraseTable.h"

#include <algorithm>
#include <utility>

#include "core/Utf8.h"

namespace ks {

PhraseTable::Placed PhraseTable::add(PhraseEntry entry) {
    std::string folded = utf8::upper(entry.phrase);
    const std::string foldedMacro = utf8::upper(entry.macro);
    Orders& sameFolded = byPhrase_[folded];
    if (const Slot* found = firstStoodFor(sameFolded, entry.phrase, entry.matchCase)) {
        Slot& slot = *slotOf(found->placed.order);
        forget(byMacro_, slot.foldedMacro, slot.placed.order);
        auto& macroOrders = byMacro_[foldedMacro];
        macroOrders.insert(
            std::lower_bound(macroOrders.begin(), macroOrders.end(), slot.placed.order),
            slot.placed.order);
        slot.placed.entry = std::move(entry);
        slot.foldedMacro = foldedMacro;
        return slot.placed;
    }
    const std::uint64_t order = nextOrder_++;
    sameFolded.push_back(order);
    byMacro_[foldedMacro].push_back(order);
    slots_.push_back({{order, std::move(entry)}, std::move(folded), foldedMacro});
    return slots_.back().placed;
}

std::optional<PhraseTable::Placed> PhraseTable::removeMacro(std::string_view macro) {
    const auto found = byMacro_.find(utf8::upper(macro));
    if (found == byMacro_.end()) return std::nullopt;
    const std::uint64_t order = found->second.front();
    const Slot* slot = slotOf(order);
    Placed removed = slot->placed;
    forget(byPhrase_, slot->foldedPhrase, order);
    forget(byMacro_, slot->foldedMacro, order);
    slots_.erase(slots_.begin() + (slot - slots_.data()));
    return removed;
}

std::string PhraseTable::ownerOf(std::string_view phrase, bool matchCase) const {
    const auto found = byPhrase_.find(utf8::upper(phrase));
    if (found == byPhrase_.end()) return {};
    const Slot* slot = firstStoodFor(found->second, phrase, matchCase);
    return slot ? slot->placed.entry.macro : std::string();
}

std::string PhraseTable::phraseOf(std::string_view macro) const {
    const auto found = byMacro_.find(utf8::upper(macro));
    return found == byMacro_.end() ? std::string()
                                   : slotOf(found->second.front())->placed.entry.phrase;
}

std::vector<PhraseEntry> PhraseTable::entries() const {
    std::vector<PhraseEntry> out;
    out.reserve(slots_.size());
    for (const Slot& slot : slots_) out.push_back(slot.placed.entry);
    return out;
}

const PhraseTable::Slot* PhraseTable::firstStoodFor(const Orders& orders, std::string_view phrase,
                                                    bool matchCase) const {
    for (const std::uint64_t order : orders) {
        const Slot* slot = slotOf(order);
        const PhraseEntry& entry = slot->placed.entry;
        if (!matchCase || !entry.matchCase || entry.phrase == phrase) return slot;
    }
    return nullptr;
}

PhraseTable::Slot* PhraseTable::slotOf(std::uint64_t order) {
    return const_cast<Slot*>(std::as_const(*this).slotOf(order));
}

const PhraseTable::Slot* PhraseTable::slotOf(std::uint64_t order) const {
    const auto at = std::lower_bound(
        slots_.begin(), slots_.end(), order,
        [](const Slot& slot, std::uint64_t wanted) { return slot.placed.order < wanted; });
    return &*at;
}

void PhraseTable::forget(std::unordered_map<std::string, Orders>& index, const std::string& key,
                         std::uint64_t order) {
    const auto found = index.find(key);
    Orders& orders = found->second;
    orders.erase(std::find(orders.begin(), orders.end(), order));
    if (orders.empty()) index.erase(found);
}

}  // namespace ks
