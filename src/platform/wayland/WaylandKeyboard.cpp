#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/EventTime.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client-protocol.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/xkb/XkbKeyLayout.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace ks::wayland {
namespace {

std::string keymapText(xkb_keymap* keymap) {
    char* written = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (written == nullptr) return {};
    std::string text(written);
    std::free(written);
    return text;
}

// The text of a keymap handed over in a file; empty when it cannot be read.
std::string readKeymapFile(int fd, std::uint32_t size) {
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) return {};
    const auto* chars = static_cast<const char*>(mapped);
    std::string text(chars, strnlen(chars, size));
    munmap(mapped, size);
    return text;
}

// A file holding `text` and its terminating NUL, as the keymap request wants it.
Expected<int> keymapFile(const std::string& text) {
    const int fd = memfd_create("keystrider-keymap", MFD_CLOEXEC);
    if (fd < 0) return Result::failure(std::string("cannot hold the keymap: ") + strerror(errno));
    const char* at = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        const ssize_t written = write(fd, at, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            close(fd);
            return Result::failure(std::string("cannot hold the keymap: ") + strerror(errno));
        }
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    return fd;
}

const char* lockModifierName(LockKey key) {
    switch (key) {
        case LockKey::CapsLock: return XKB_MOD_NAME_CAPS;
        case LockKey::NumLock: return XKB_MOD_NAME_NUM;
        case LockKey::ScrollLock: return nullptr;
    }
    return nullptr;
}

}  // namespace

WaylandKeyboard::WaylandKeyboard(wl_display* display, zwp_virtual_keyboard_v1* keyboard,
                                 std::shared_ptr<SharedSeatKeymap> seatLayout)
    : queue_(display),
      keyboard_(keyboard),
      context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)),
      seatLayout_(std::move(seatLayout)) {}

WaylandKeyboard::~WaylandKeyboard() {
    zwp_virtual_keyboard_v1_destroy(keyboard_);
    if (seatKeyboard_ != nullptr) {
        if (wl_keyboard_get_version(seatKeyboard_) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(seatKeyboard_);
        } else {
            wl_keyboard_destroy(seatKeyboard_);
        }
    }
    queue_.flush();
    xkb_state_unref(state_);
    xkb_keymap_unref(uploaded_);
    xkb_context_unref(context_);
}

Expected<std::unique_ptr<WaylandKeyboard>> WaylandKeyboard::create(
    wl_display* display, wl_seat* seat, zwp_virtual_keyboard_manager_v1* manager,
    std::shared_ptr<SharedSeatKeymap> seatLayout) {
    std::unique_ptr<WaylandKeyboard> made(new WaylandKeyboard(
        display, zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat),
        std::move(seatLayout)));
    if (made->context_ == nullptr) return Result::failure("cannot start libxkbcommon");
    static const wl_keyboard_listener listener = {
        .keymap = &WaylandKeyboard::onKeymap,
        .enter = [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
        .leave = [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
        .key = [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                  std::uint32_t) {},
        .modifiers = [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                        std::uint32_t, std::uint32_t) {},
        .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
    };
    // The seat's keyboard comes to this keyboard's own queue (through a
    // wrapper, so that no event can reach the seat's queue first).
    auto* wrapped = static_cast<wl_seat*>(wl_proxy_create_wrapper(seat));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), made->queue_.get());
    made->seatKeyboard_ = wl_seat_get_keyboard(wrapped);
    wl_proxy_wrapper_destroy(wrapped);
    wl_keyboard_add_listener(made->seatKeyboard_, &listener, made.get());
    if (Result answered = made->queue_.roundtrip(); !answered) return answered;
    if (made->seatText_.empty()) {
        xkb_keymap* fallback =
            xkb_keymap_new_from_names(made->context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (fallback == nullptr) return Result::failure("cannot compile the default keymap");
        const std::string text = keymapText(fallback);
        xkb_keymap_unref(fallback);
        if (Result adopted = made->adoptSeatLayout(text); !adopted) return adopted;
    }
    if (Result sent = made->queue_.flush(); !sent) return sent;
    return made;
}

void WaylandKeyboard::onKeymap(void* data, wl_keyboard*, std::uint32_t format, int fd,
                               std::uint32_t size) {
    std::string text;
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) text = readKeymapFile(fd, size);
    close(fd);
    if (!text.empty()) static_cast<WaylandKeyboard*>(data)->followSeat(std::move(text));
}

void WaylandKeyboard::followSeat(std::string text) {
    if (isSplicedKeymap(text) || text == seatText_) return;
    adoptSeatLayout(std::move(text));
}

// A keymap that does not compile, or that is no keyboard's layout (another
// tool's virtual keyboard with a few keys of its own), is left alone: the
// keyboard keeps the layout it has.
Result WaylandKeyboard::adoptSeatLayout(std::string text) {
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        context_, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) return Result::failure("the seat's keymap does not compile");
    if (!isKeyboardLayout(keymap)) {
        xkb_keymap_unref(keymap);
        return Result::failure("the seat's keymap is no keyboard layout");
    }
    free_ = freeKeycodes(keymap);
    layout_ = std::make_shared<const KeyLayout>(buildKeyLayout(describeKeys(keymap, 0)));
    xkb_keymap_unref(keymap);
    seatText_ = std::move(text);
    seatLayout_->set(seatText_);
    // The free keys of another layout are other keys.
    bound_.clear();
    return upload();
}

Result WaylandKeyboard::upload() {
    std::vector<SpareKeyBinding> bindings;
    for (const auto& [slot, levels] : bound_) bindings.push_back({free_[slot], levels});
    const Expected<std::string> text = spliceSpareKeys(seatText_, bindings);
    if (!text) return text.status();
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        context_, text->c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) return Result::failure("the keymap with spare keys does not compile");
    const Expected<int> fd = keymapFile(*text);
    if (!fd) {
        xkb_keymap_unref(keymap);
        return fd.status();
    }
    // The locks carry over to the new keymap by name; keys held down do not
    // (the compositor starts the new keymap with nothing pressed).
    const bool caps = state_ != nullptr && isLocked(LockKey::CapsLock);
    const bool num = state_ != nullptr && isLocked(LockKey::NumLock);
    xkb_state_unref(state_);
    xkb_keymap_unref(uploaded_);
    uploaded_ = keymap;
    state_ = xkb_state_new(uploaded_);
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, *fd,
                                   static_cast<std::uint32_t>(text->size() + 1));
    close(*fd);
    sentModifiers_ = {};
    setLocked(LockKey::CapsLock, caps);
    setLocked(LockKey::NumLock, num);
    return Result::success();
}

std::shared_ptr<const KeyLayout> WaylandKeyboard::layout() {
    queue_.pump();
    return layout_;
}

void WaylandKeyboard::key(std::uint32_t code, bool down) {
    zwp_virtual_keyboard_v1_key(
        keyboard_, eventMilliseconds(), code,
        down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    const xkb_keycode_t keycode = code + 8;
    xkb_state_update_key(state_, keycode, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    if (down && xkb_state_key_get_one_sym(state_, keycode) == XKB_KEY_Scroll_Lock)
        scrollLock_ = !scrollLock_;
    sendModifiers();
}

void WaylandKeyboard::sendModifiers() {
    const std::array<std::uint32_t, 4> now{
        xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE)};
    if (now == sentModifiers_) return;
    zwp_virtual_keyboard_v1_modifiers(keyboard_, now[0], now[1], now[2], now[3]);
    sentModifiers_ = now;
}

bool WaylandKeyboard::isLocked(LockKey key) {
    const char* name = lockModifierName(key);
    if (name == nullptr) return scrollLock_;
    return xkb_state_mod_name_is_active(state_, name, XKB_STATE_MODS_LOCKED) > 0;
}

void WaylandKeyboard::setLocked(LockKey key, bool on) {
    const char* name = lockModifierName(key);
    if (name == nullptr) {
        scrollLock_ = on;
        return;
    }
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(uploaded_, name);
    if (index == XKB_MOD_INVALID) return;
    const xkb_mod_mask_t mask = 1u << index;
    xkb_mod_mask_t locked = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED);
    locked = on ? locked | mask : locked & ~mask;
    xkb_state_update_mask(state_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                          xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED), locked, 0, 0,
                          xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_LOCKED));
    sendModifiers();
}

// Characters already on a key stay there; the others take keys no character
// of this text is on. Any such key will do: a program reads the keys typed
// before the upload with the keymap they were typed under.
Expected<std::vector<SpareStroke>> WaylandKeyboard::bindSpare(const std::vector<char32_t>& chars) {
    queue_.pump();
    if (chars.size() > spareCapacity()) return Result::failure("more characters than spare keys");
    std::map<std::size_t, std::array<char32_t, 2>> wanted;
    std::vector<SpareStroke> strokes(chars.size());
    std::vector<bool> placed(chars.size(), false);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        for (const auto& [slot, levels] : bound_) {
            for (std::size_t level = 0; level < 2 && !placed[i]; ++level) {
                if (levels[level] != chars[i]) continue;
                wanted[slot][level] = chars[i];
                strokes[i] = {static_cast<std::uint8_t>(free_[slot].keycode - 8), level == 1};
                placed[i] = true;
            }
        }
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (placed[i]) continue;
        while (wanted[next / 2][next % 2] != 0) ++next;
        wanted[next / 2][next % 2] = chars[i];
        strokes[i] = {static_cast<std::uint8_t>(free_[next / 2].keycode - 8), next % 2 == 1};
    }
    std::erase_if(wanted,
                  [](const auto& slot) { return slot.second == std::array<char32_t, 2>{}; });
    if (wanted != bound_) {
        bound_ = std::move(wanted);
        if (Result sent = upload(); !sent) return sent;
    }
    return strokes;
}

}  // namespace ks::wayland
