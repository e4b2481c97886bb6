#include "platform/x11/XkbLayoutBuilder.h"

#include <X11/XKBlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/x11/XlibHelpers.h"

namespace ks::x11 {
namespace {

// The shift-state bits that select `level` of a key of `type`.
std::optional<std::uint8_t> levelState(XkbKeyTypePtr type, int level) {
    if (level == 0) return 0;
    std::vector<std::uint32_t> sets;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& entry = type->map[i];
        if (entry.active && entry.level == level) sets.push_back(entry.mods.mask);
    }
    return cheapestLevelState(sets, ModifierMasks{ShiftMask, LockMask, ControlMask});
}

int effectiveGroup(XkbDescPtr xkb, KeyCode keycode, int group) {
    const int groups = XkbKeyNumGroups(xkb, keycode);
    if (group < groups) return group;
    const unsigned char info = XkbKeyGroupInfo(xkb, keycode);
    if (XkbOutOfRangeGroupAction(info) == XkbClampIntoRange) return groups - 1;
    if (XkbOutOfRangeGroupAction(info) == XkbRedirectIntoRange) return 0;
    return group % groups;
}

}  // namespace

std::vector<KeyDescription> describeKeys(Display* display) {
    XkbDescHolder xkb(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    if (!xkb) return {};
    XkbGetNames(display, XkbKeyNamesMask, xkb.get());
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);

    std::vector<KeyDescription> keys;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
        const auto keycode = static_cast<KeyCode>(code);
        KeyDescription key;
        key.keycode = keycode;
        if (xkb->names && xkb->names->keys) {
            const char* name = xkb->names->keys[keycode].name;
            key.name.assign(name, strnlen(name, XkbKeyNameLength));
        }
        if (XkbKeyNumGroups(xkb.get(), keycode) > 0) {
            const int group = effectiveGroup(xkb.get(), keycode, state.group);
            XkbKeyTypePtr type = XkbKeyKeyType(xkb.get(), keycode, group);
            for (int level = 0; level < type->num_levels; ++level) {
                const auto bits = levelState(type, level);
                const KeySym sym = XkbKeySymEntry(xkb.get(), keycode, level, group);
                if (bits && sym != NoSymbol) {
                    key.levels.push_back({static_cast<std::uint32_t>(sym), *bits});
                } else if (level == 0) {
                    key.levels.push_back({0, 0});
                }
            }
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

KeyLayout currentKeyLayout(Display* display) {
    return buildKeyLayout(describeKeys(display));
}

}  // namespace ks::x11
