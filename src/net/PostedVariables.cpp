#include "net/PostedVariables.h"

#include <algorithm>
#include <unordered_set>

#include "core/Utf8.h"
#include "expand/VariableTable.h"

namespace ks {

bool PostedVariables::set(const std::string& peer, const Values& values) {
    std::size_t bytes = 0;
    Holding holding{peer, {}, 0};
    for (const auto& [name, text] : values) {
        bytes += name.size() + text.size();
        holding.names.push_back(utf8::upper(name));
    }
    if (bytes > capBytes_) return false;
    holding.bytes = bytes;
    const auto own = std::find_if(holdings_.begin(), holdings_.end(),
                                  [&peer](const Holding& h) { return h.peer == peer; });
    if (own != holdings_.end()) release(own);
    while (totalBytes_ + bytes > capBytes_) release(holdings_.begin());
    // A name set now belongs to this peer, whoever posted it before.
    disown(holding.names);
    for (const auto& [name, text] : values) table_.SetVariable(name, text);
    totalBytes_ += bytes;
    holdings_.push_back(std::move(holding));
    return true;
}

void PostedVariables::release(std::deque<Holding>::iterator holding) {
    table_.remove(holding->names);
    totalBytes_ -= holding->bytes;
    holdings_.erase(holding);
}

void PostedVariables::disown(const std::vector<std::string>& names) {
    const std::unordered_set<std::string> taken(names.begin(), names.end());
    for (Holding& other : holdings_) {
        std::erase_if(other.names,
                      [&taken](const std::string& name) { return taken.contains(name); });
    }
}

}  // namespace ks
