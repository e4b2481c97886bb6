// Writes a store with N macros, each with its own hot key, for the start-up
// figures of bench/app_startup.sh. Prints the X key name and X modifier mask
// of the last macro's hot key, the last one keystrider registers.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "platform/HotKeys.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace {

struct Key {
    std::uint32_t vk;
    const char* xName;
};

std::vector<Key> hotKeyKeys() {
    std::vector<Key> keys;
    static const char* letters[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i",
                                    "j", "k", "l", "m", "n", "o", "p", "q", "r",
                                    "s", "t", "u", "v", "w", "x", "y", "z"};
    for (std::uint32_t i = 0; i < 26; ++i) keys.push_back({'A' + i, letters[i]});
    static const char* digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    for (std::uint32_t i = 0; i < 10; ++i) keys.push_back({'0' + i, digits[i]});
    static const char* functions[] = {"F1", "F2", "F3", "F4",  "F5",  "F6",
                                      "F7", "F8", "F9", "F10", "F11", "F12"};
    for (std::uint32_t i = 0; i < 12; ++i) keys.push_back({112 + i, functions[i]});
    const Key named[] = {{36, "Home"},   {35, "End"},      {33, "Prior"},  {34, "Next"},
                         {45, "Insert"}, {46, "Delete"},   {37, "Left"},   {39, "Right"},
                         {38, "Up"},     {40, "Down"},     {9, "Tab"},     {32, "space"},
                         {13, "Return"}, {8, "BackSpace"}, {27, "Escape"}, {19, "Pause"}};
    for (const Key& k : named) keys.push_back(k);
    return keys;
}

unsigned xModifiers(std::uint32_t mask) {
    return ((mask & ks::kModShift) ? 1u : 0u) | ((mask & ks::kModControl) ? 4u : 0u) |
           ((mask & ks::kModAlt) ? 8u : 0u) | ((mask & ks::kModWin) ? 64u : 0u);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s STORE-FILE COUNT\n", argv[0]);
        return 2;
    }
    const int count = std::atoi(argv[2]);
    const std::vector<Key> keys = hotKeyKeys();
    if (count < 1 || static_cast<std::size_t>(count) > keys.size() * 16) {
        std::fprintf(stderr, "COUNT must be 1 to %zu\n", keys.size() * 16);
        return 2;
    }
    ks::KeyTree tree(argv[1]);
    ks::StderrMessages messages;
    ks::SettingsStore store(tree, messages);
    if (!store.EnsureRootKeys()) return 1;
    ks::KeyTree::Transaction all(tree);
    Key last{};
    std::uint32_t lastMask = 0;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Macro%04d", i);
        const std::string key = std::string(ks::kDirectRoot) + "Macros\\" + name;
        last = keys[static_cast<std::size_t>(i) % keys.size()];
        lastMask = static_cast<std::uint32_t>(i) / static_cast<std::uint32_t>(keys.size());
        if (!store.CreateMacroKey(name) || !store.SetDword(key, "vk", last.vk) ||
            !store.SetDword(key, "fsModifiers", lastMask)) {
            return 1;
        }
    }
    // The last macro types one full stop, which the readiness probe waits
    // for: a key that no macro here grabs.
    const std::string lastCommand = "Macro" +
                                    std::string(4 - std::to_string(count - 1).size(), '0') +
                                    std::to_string(count - 1) + "\\Commands\\0";
    if (!store.CreateMacroKey(lastCommand) ||
        !store.WriteDword(4116, "\\Macros\\" + lastCommand, "id") ||
        !store.WriteMacroString(".", lastCommand, "Keys")) {
        return 1;
    }
    if (!all.commit()) return 1;
    std::printf("%s %u\n", last.xName, xModifiers(lastMask));
    return 0;
}
