#include "store/StoreKey.h"

#include "store/SettingsStore.h"
#include "store/StorePath.h"

namespace ks {

StoreKey StoreKey::child(std::string_view name) const {
    if (relative_.empty()) return StoreKey(std::string(name));
    std::string path = relative_;
    path += '\\';
    path += name;
    return StoreKey(std::move(path));
}

std::string StoreKey::treePath() const {
    return relative_.empty() ? std::string(kRootKey) : std::string(kRootKey) + "\\" + relative_;
}

std::string StoreKey::direct() const {
    return storePath(relative_);
}

CommandKey::CommandKey(std::string_view macro, std::int32_t position)
    : macroSubpath_(std::string(macro) + "\\Commands\\" + std::to_string(position)) {}

std::string_view CommandKey::macroOf(std::string_view macroSubpath) {
    return macroSubpath.substr(0, macroSubpath.rfind("\\Commands\\"));
}

MacroKey::MacroKey(std::string_view name)
    : name_(name), commandsDirect_(key().child("Commands").direct() + "\\") {}

std::string MacroKey::commandDirect(std::int32_t position) const {
    return commandsDirect_ + std::to_string(position);
}

std::string childSubpath(std::string_view macroSubpath, std::string_view child) {
    std::string path(macroSubpath);
    path += '\\';
    path += child;
    return path;
}

std::string MacroKey::scheduleSubpath(std::int32_t n) const {
    return childSubpath(childSubpath(name_, "Schedule"), std::to_string(n));
}

}  // namespace ks
