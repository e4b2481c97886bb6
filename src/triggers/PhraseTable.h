#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ks {

// A typed phrase that starts a macro. With matchCase the phrase must be
// typed with the same case; otherwise case is ignored.
struct PhraseEntry {
    std::string phrase;
    std::string macro;
    bool matchCase = false;

    bool operator==(const PhraseEntry&) const = default;
};

// The phrase triggers in table order, with the rules both the GUI thread's
// copy and the keyboard-watch thread's copy follow. Phrases and macro names
// compare ignoring case as the store compares names: each character
// upper-cased on its own.
class PhraseTable {
public:
    // An entry with its place in the table: entries earlier in the table
    // have smaller orders, and an entry that is replaced keeps its order.
    struct Placed {
        std::uint64_t order = 0;
        PhraseEntry entry;
    };

    // Replaces the first entry the new one stands for (same phrase ignoring
    // case; with matchCase only one with the very same phrase or one that
    // ignores case), else appends. Returns the entry as it now stands.
    Placed add(PhraseEntry entry);
    // Removes the first entry of `macro`; the entry removed, if any.
    std::optional<Placed> removeMacro(std::string_view macro);

    // The macro of the entry that adding (phrase, matchCase) would replace;
    // empty when there is none.
    std::string ownerOf(std::string_view phrase, bool matchCase) const;
    // The phrase of the first entry of `macro`, or empty: the trigger
    // column's text.
    std::string phraseOf(std::string_view macro) const;

    std::vector<PhraseEntry> entries() const;

private:
    struct Slot {
        Placed placed;
        std::string foldedPhrase;
        std::string foldedMacro;
    };
    using Orders = std::vector<std::uint64_t>;  // ascending

    // The first slot among `orders` that (phrase, matchCase) stands for.
    const Slot* firstStoodFor(const Orders& orders, std::string_view phrase, bool matchCase) const;
    Slot* slotOf(std::uint64_t order);
    const Slot* slotOf(std::uint64_t order) const;
    static void forget(std::unordered_map<std::string, Orders>& index, const std::string& key,
                       std::uint64_t order);

    std::vector<Slot> slots_;  // in table order, so by ascending order
    std::unordered_map<std::string, Orders> byPhrase_;
    std::unordered_map<std::string, Orders> byMacro_;
    std::uint64_t nextOrder_ = 0;
};

}  // namespace ks
