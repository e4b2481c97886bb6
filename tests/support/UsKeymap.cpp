#include "UsKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <stdexcept>

#include "platform/xkb/XkbKeyLayout.h"

namespace ks::test {

KeyLayout usKeyLayout() {
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), &xkb_context_unref);
    const xkb_rule_names us{"evdev", "pc105", "us", "", ""};
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        context ? xkb_keymap_new_from_names(context.get(), &us, XKB_KEYMAP_COMPILE_NO_FLAGS)
                : nullptr,
        &xkb_keymap_unref);
    if (!keymap) throw std::runtime_error("libxkbcommon cannot compile a US keymap");
    return buildKeyLayout(describeKeys(keymap.get(), 0));
}

}  // namespace ks::test
