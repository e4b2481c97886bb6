#include "platform/evdev/SeatKeyState.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include "platform/InputCapture.h"
#include "platform/xkb/XkbKeyLayout.h"

namespace ks::evdev {
namespace {

// xkb's keycodes are the kernel's moved up by 8, as on X11.
constexpr std::uint32_t kKeycodeOffset = 8;

std::uint32_t maskOfModifier(xkb_keymap* keymap, const char* name) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
    return index == XKB_MOD_INVALID ? 0 : 1u << index;
}

xkb_keycode_t keycodeOfKeysym(xkb_keymap* keymap, xkb_keysym_t wanted) {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
         code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) > 0 && syms[0] == wanted) {
            return code;
        }
    }
    return XKB_KEYCODE_INVALID;
}

// The modifiers the key of `keysym` sets: AltGr and Num Lock are virtual
// modifiers, which each keymap maps onto a real one of its choice.
std::uint32_t maskOfKeysym(xkb_keymap* keymap, xkb_keysym_t keysym) {
    const xkb_keycode_t code = keycodeOfKeysym(keymap, keysym);
    if (code == XKB_KEYCODE_INVALID) return 0;
    xkb_state* scratch = xkb_state_new(keymap);
    if (scratch == nullptr) return 0;
    xkb_state_update_key(scratch, code, XKB_KEY_DOWN);
    const std::uint32_t mask = xkb_state_serialize_mods(scratch, XKB_STATE_MODS_EFFECTIVE);
    xkb_state_unref(scratch);
    return mask;
}

}  // namespace

SeatKeyState::SeatKeyState(const SeatKeymap& keymap)
    : source_(keymap), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

SeatKeyState::~SeatKeyState() {
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

bool SeatKeyState::follow() {
    const std::uint64_t serial = source_.serial();
    if (!compiled_ || serial != serial_) {
        serial_ = serial;
        compiled_ = compile();
    }
    return state_ != nullptr;
}

bool SeatKeyState::compile() {
    if (context_ == nullptr) return false;
    const std::string text = source_.text();
    xkb_keymap* keymap =
        text.empty() ? xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)
                     : xkb_keymap_new_from_string(context_, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                  XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_state* state = keymap ? xkb_state_new(keymap) : nullptr;
    // A keymap that does not compile leaves the one in use.
    if (state == nullptr) {
        xkb_keymap_unref(keymap);
        return state_ != nullptr;
    }
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;
    masks_ = {
        maskOfModifier(keymap, XKB_MOD_NAME_SHIFT),     maskOfModifier(keymap, XKB_MOD_NAME_CAPS),
        maskOfModifier(keymap, XKB_MOD_NAME_CTRL),      maskOfModifier(keymap, XKB_MOD_NAME_ALT),
        maskOfKeysym(keymap, XKB_KEY_ISO_Level3_Shift), maskOfKeysym(keymap, XKB_KEY_Num_Lock)};
    layouts_.assign(xkb_keymap_num_layouts(keymap), std::nullopt);
    return true;
}

void SeatKeyState::apply(std::uint16_t code, bool pressed) {
    if (state_ == nullptr) return;
    xkb_state_update_key(state_, code + kKeycodeOffset, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
}

void SeatKeyState::releaseKeys() {
    if (state_ == nullptr) return;
    xkb_state* fresh = xkb_state_new(keymap_);
    if (fresh == nullptr) return;
    xkb_state_update_mask(fresh, 0, 0, xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED), 0,
                          0, xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_LOCKED));
    xkb_state_unref(state_);
    state_ = fresh;
}

void SeatKeyState::setLocks(bool capsLock, bool numLock) {
    if (state_ == nullptr) return;
    const std::uint32_t otherLocks = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED) &
                                     ~(masks_.capsLock | masks_.numLock);
    const std::uint32_t locks =
        otherLocks | (capsLock ? masks_.capsLock : 0) | (numLock ? masks_.numLock : 0);
    xkb_state_update_mask(state_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                          xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED), locks, 0, 0,
                          xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_LOCKED));
}

bool SeatKeyState::isActive(std::uint32_t mask) const {
    return mask != 0 && (xkb_state_serialize_mods(state_, XKB_STATE_MODS_EFFECTIVE) & mask) != 0;
}

KeyModifiers SeatKeyState::keyModifiers() const {
    if (state_ == nullptr) return {};
    return {isActive(masks_.shift), isActive(masks_.capsLock), isActive(masks_.altGr),
            isActive(masks_.numLock)};
}

std::uint32_t SeatKeyState::captureModifiers() const {
    if (state_ == nullptr) return 0;
    return (isActive(masks_.shift) ? CapturedInput::kShift : 0) |
           (isActive(masks_.control) ? CapturedInput::kControl : 0) |
           (isActive(masks_.alt) ? CapturedInput::kAlt : 0) |
           (isActive(masks_.numLock) ? CapturedInput::kNumLock : 0);
}

const KeyLayout& SeatKeyState::layout() {
    static const KeyLayout kNone;
    if (state_ == nullptr || layouts_.empty()) return kNone;
    xkb_layout_index_t index = xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE);
    if (index >= layouts_.size()) index = 0;
    std::optional<KeyLayout>& layout = layouts_[index];
    if (!layout) layout = buildKeyLayout(describeKeys(keymap_, index));
    return *layout;
}

}  // namespace ks::evdev
