#include "triggers/PhraseMatcher.h"

#include <algorithm>
#include <utility>

#include "core/Utf8.h"

namespace ks {
namespace {

std::u32string foldedReversed(const std::u32string& phrase) {
    std::u32string out(phrase.rbegin(), phrase.rend());
    for (char32_t& ch : out) ch = utf8::upperChar(ch);
    return out;
}

}  // namespace

PhraseMatcher::PhraseMatcher() : nodes_(1) {}

void PhraseMatcher::add(PhraseEntry entry) {
    place(table_.add(std::move(entry)));
}

void PhraseMatcher::removeMacro(std::string_view macro) {
    if (const auto removed = table_.removeMacro(macro)) unplace(*removed);
}

const std::string* PhraseMatcher::type(char32_t ch) {
    buffer_.append(ch);
    return match();
}

const std::string* PhraseMatcher::match() const {
    const Item* best = nullptr;
    std::uint32_t node = 0;
    for (std::size_t back = 0; back < buffer_.size(); ++back) {
        node = child(node, buffer_.foldedFromEnd(back));
        if (node == 0) break;
        for (const Item& item : nodes_[node].items) {
            if (best && item.order > best->order) break;
            if (!item.matchCase || endsBuffer(item.phrase)) {
                best = &item;
                break;
            }
        }
    }
    return best ? &best->macro : nullptr;
}

bool PhraseMatcher::endsBuffer(const std::u32string& phrase) const {
    for (std::size_t back = 0; back < phrase.size(); ++back) {
        if (buffer_.typedFromEnd(back) != phrase[phrase.size() - 1 - back]) return false;
    }
    return true;
}

std::uint32_t PhraseMatcher::child(std::uint32_t node, char32_t ch) const {
    const auto found = edges_.find(edge(node, ch));
    return found == edges_.end() ? 0 : found->second;
}

std::uint32_t PhraseMatcher::addChild(std::uint32_t node, char32_t ch) {
    if (const std::uint32_t existing = child(node, ch)) return existing;
    std::uint32_t made;
    if (freeNodes_.empty()) {
        made = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
    } else {
        made = freeNodes_.back();
        freeNodes_.pop_back();
    }
    nodes_[made].parent = node;
    nodes_[made].ch = ch;
    ++nodes_[node].children;
    edges_.emplace(edge(node, ch), made);
    return made;
}

void PhraseMatcher::place(const PhraseTable::Placed& placed) {
    const std::u32string phrase = utf8::codePoints(placed.entry.phrase);
    if (phrase.empty()) return;
    std::uint32_t node = 0;
    for (const char32_t ch : foldedReversed(phrase)) node = addChild(node, ch);
    std::vector<Item>& items = nodes_[node].items;
    Item item{placed.order, placed.entry.matchCase, phrase, placed.entry.macro};
    const auto at = std::lower_bound(
        items.begin(), items.end(), placed.order,
        [](const Item& existing, std::uint64_t order) { return existing.order < order; });
    if (at != items.end() && at->order == placed.order) {
        *at = std::move(item);
    } else {
        items.insert(at, std::move(item));
    }
}

void PhraseMatcher::unplace(const PhraseTable::Placed& placed) {
    std::uint32_t node = 0;
    for (const char32_t ch : foldedReversed(utf8::codePoints(placed.entry.phrase))) {
        node = child(node, ch);
        if (node == 0) return;
    }
    std::vector<Item>& items = nodes_[node].items;
    std::erase_if(items, [&](const Item& item) { return item.order == placed.order; });
    prune(node);
}

// Gives back the nodes that no phrase needs any more, from `node` up.
void PhraseMatcher::prune(std::uint32_t node) {
    while (node != 0 && nodes_[node].items.empty() && nodes_[node].children == 0) {
        Node& gone = nodes_[node];
        edges_.erase(edge(gone.parent, gone.ch));
        --nodes_[gone.parent].children;
        freeNodes_.push_back(node);
        node = gone.parent;
    }
}

}  // namespace ks
