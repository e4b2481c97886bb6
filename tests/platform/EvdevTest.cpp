// The kernel's input devices without devices: stored input_event arrays
// through pipes, and a folder of FIFOs standing in for /dev/input.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "QtTestLoop.h"
#include "TempDir.h"
#include "platform/evdev/EvdevWatches.h"
#include "triggers/PhraseWatch.h"

namespace ks::evdev {
namespace {

using Kind = DeviceEvent::Kind;

input_event ev(std::uint16_t type, std::uint16_t code, std::int32_t value, long ms = 0) {
    input_event event{};
    event.input_event_sec = ms / 1000;
    event.input_event_usec = (ms % 1000) * 1000 + 999;
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
}
input_event syn(long ms = 0) {
    return ev(EV_SYN, SYN_REPORT, 0, ms);
}

void writeAll(int fd, const void* data, std::size_t size) {
    ASSERT_EQ(::write(fd, data, size), static_cast<ssize_t>(size));
}

TEST(EvdevDecoding, StoredEventsThroughAPipeSplitAnywhere) {
    struct Row {
        const char* what;
        std::vector<input_event> in;
        std::vector<DeviceEvent> out;
    };
    const std::vector<Row> rows = {
        {"a held key is one press; stamps in ms",
         {ev(EV_KEY, KEY_A, 1, 12345), syn(12345), ev(EV_KEY, KEY_A, 2, 12400), syn(),
          ev(EV_KEY, KEY_A, 0, 12500), syn(12500)},
         {{Kind::Key, true, KEY_A, 0, 0, 12345}, {Kind::Key, false, KEY_A, 0, 0, 12500}}},
        {"both axes make one move, before the click of the same frame",
         {ev(EV_KEY, BTN_LEFT, 1, 7), ev(EV_REL, REL_X, 3, 7), ev(EV_REL, REL_Y, -2, 7), syn(7)},
         {{Kind::Motion, false, 0, 3, -2, 7}, {Kind::Button, true, 1, 0, 0, 7}}},
        {"buttons numbered as X numbers them; the wheel in notches",
         {ev(EV_KEY, BTN_MIDDLE, 1), ev(EV_KEY, BTN_RIGHT, 1), ev(EV_KEY, BTN_SIDE, 1),
          ev(EV_REL, REL_WHEEL, -1), ev(EV_KEY, BTN_TOUCH, 1), syn()},
         {{Kind::Button, true, 2, 0, 0, 0},
          {Kind::Button, true, 3, 0, 0, 0},
          {Kind::Button, true, 8, 0, 0, 0},
          {Kind::Wheel, false, 0, 0, -1, 0}}},
        {"dropped events take their frames, and keys let go meanwhile or held at the end, "
         "with them",
         {ev(EV_KEY, KEY_LEFTSHIFT, 1), syn(), ev(EV_KEY, KEY_B, 1), ev(EV_SYN, SYN_DROPPED, 0),
          ev(EV_KEY, KEY_C, 1), syn(), ev(EV_KEY, KEY_D, 1), syn()},
         {{Kind::Key, true, KEY_LEFTSHIFT, 0, 0, 0},
          {Kind::Key, false, KEY_LEFTSHIFT, 0, 0, 0},
          {Kind::Key, true, KEY_D, 0, 0, 0},
          {Kind::Key, false, KEY_D, 0, 0, 0}}},
    };
    for (const Row& row : rows) {
        int pipeEnds[2];
        ASSERT_EQ(::pipe2(pipeEnds, O_NONBLOCK), 0);
        DeviceReader reader;
        std::vector<DeviceEvent> out;
        const std::size_t size = row.in.size() * sizeof(input_event);
        const auto* bytes = reinterpret_cast<const char*>(row.in.data());
        // Reads may end inside an event; the rest completes it.
        writeAll(pipeEnds[1], bytes, size - 5);
        EXPECT_EQ(reader.read(pipeEnds[0], out), DeviceReader::Status::Open);
        writeAll(pipeEnds[1], bytes + size - 5, 5);
        EXPECT_EQ(reader.read(pipeEnds[0], out), DeviceReader::Status::Open);
        ::close(pipeEnds[1]);
        EXPECT_EQ(reader.read(pipeEnds[0], out), DeviceReader::Status::Gone);
        ::close(pipeEnds[0]);
        EXPECT_EQ(out, row.out) << row.what;
    }
}

// A folder of FIFOs as device nodes. Each is opened for reading and writing,
// so it never reads as closed; the test writes events into its own end.
class FakeDevices {
public:
    void add(const std::string& name, DeviceInfo info) {
        infos_[name] = info;
        ASSERT_EQ(::mkfifo(dir_.file(name).c_str(), 0600), 0);
    }
    void remove(const std::string& name) { std::filesystem::remove(dir_.file(name)); }
    void deny(const std::string& name, bool denied) {
        denied_[name] = denied;
        ::chmod(dir_.file(name).c_str(), denied ? 0 : 0600);  // the attribute change udev makes
    }
    void send(const std::string& name, const std::vector<input_event>& events) {
        const int fd = ::open(dir_.file(name).c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        writeAll(fd, events.data(), events.size() * sizeof(input_event));
        ::close(fd);
    }
    EvdevSetup setup(const SeatKeymap& keymap, AccessNotice& access) {
        return {keymap, access, dir_.path().string(), [this](const std::string& path) {
                    const std::string name = std::filesystem::path(path).filename().string();
                    if (denied_[name]) return OpenedDevice{-1, EACCES, {}};
                    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
                    return OpenedDevice{fd, fd < 0 ? errno : 0, infos_[name]};
                }};
    }

private:
    test::TempDir dir_;
    std::map<std::string, DeviceInfo> infos_;
    std::map<std::string, bool> denied_;
};

constexpr DeviceInfo kKeyboard{true, false, false, false};
constexpr DeviceInfo kPointer{false, true, false, false};

// Frames of key transitions: a code presses its key, its negative lets it go.
std::vector<input_event> keys(std::initializer_list<int> transitions) {
    std::vector<input_event> out;
    for (const int code : transitions) {
        out.push_back(ev(EV_KEY, static_cast<std::uint16_t>(std::abs(code)), code > 0 ? 1 : 0));
        out.push_back(syn());
    }
    return out;
}

class EvdevTest : public testing::Test {
protected:
    EvdevTest() { test::testApplication(); }

    SharedSeatKeymap keymap;
    AccessNotice access{nullptr};
    FakeDevices devices;
};

TEST_F(EvdevTest, FolderOpensDevicesAsTheyComeAndGoAndTellsALackOfAccess) {
    devices.add("event0", kKeyboard);
    devices.add("event1", kPointer);
    devices.add("event2", {true, true, false, true});  // the program's own
    devices.add("mouse0", kPointer);
    const EvdevSetup setup = devices.setup(keymap, access);
    DeviceFolder keyboards(setup.folder, setup.opener, DeviceFolder::Wanted::Keyboards);
    ASSERT_TRUE(keyboards.start({}));
    EXPECT_EQ(keyboards.openCount(), 1u);
    keyboards.stop();  // a FIFO, unlike a device, hands each event to one reader
    DeviceFolder all(setup.folder, setup.opener, DeviceFolder::Wanted::KeyboardsAndPointers);
    std::vector<int> from;
    ASSERT_TRUE(all.start([&](const DeviceFolder::Device& device, const DeviceEvent*, std::size_t) {
        from.push_back(device.id);
    }));
    EXPECT_EQ(all.openCount(), 2u);

    devices.add("event3", kKeyboard);
    EXPECT_TRUE(test::runEventsUntil([&] { return all.openCount() == 3; }, 2000));
    devices.remove("event0");
    EXPECT_TRUE(test::runEventsUntil([&] { return all.openCount() == 2; }, 2000));
    devices.send("event3", keys({KEY_A, -KEY_A}));
    EXPECT_TRUE(test::runEventsUntil([&] { return !from.empty(); }, 2000));
    all.stop();

    devices.deny("event3", true);
    ASSERT_TRUE(keyboards.start({}));
    EXPECT_TRUE(keyboards.accessDenied());
    devices.deny("event3", false);
    EXPECT_TRUE(test::runEventsUntil([&] { return keyboards.openCount() == 1; }, 2000));
    EXPECT_FALSE(keyboards.accessDenied());
}

std::string keymapText(const char* layout) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    std::string out = text;
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return out;
}

// Whether `watch` sees `phrase` typed when `typed` comes from event0.
bool typesPhrase(EvdevKeyWatch& watch, FakeDevices& devices, const char* phrase,
                 const std::vector<input_event>& typed) {
    PhraseWatch phrases;
    phrases.matcher().add({phrase, "M", true});
    bool fired = false;
    if (!watch.start([&](const WatchedKey& key, const KeyLayout& layout) {
            fired = phrases.onKey(key, layout, 0) != nullptr || fired;
        })) {
        return false;
    }
    devices.send("event0", typed);
    test::runEventsUntil([&] { return fired; }, 2000);
    watch.stop();
    return fired;
}

TEST_F(EvdevTest, KeyWatchTypesWhatTheSeatsLayoutAndLockLightsTypeDeadKeysIncluded) {
    struct Row {
        const char* layout;
        std::vector<input_event> typed;
        const char* phrase;
    };
    const std::vector<Row> rows = {
        {"us", keys({KEY_Y, KEY_CAPSLOCK, -KEY_CAPSLOCK, KEY_B}), "yB"},
        {"de",
         keys({KEY_Y, KEY_LEFTSHIFT, KEY_2, -KEY_LEFTSHIFT, KEY_RIGHTALT, KEY_Q, -KEY_RIGHTALT,
               KEY_GRAVE, -KEY_GRAVE, KEY_E, KEY_LEFTSHIFT}),
         "z\"@ê"},
        // Shift was held when the watch stopped; its release came unseen.
        {"de", keys({KEY_Y}), "z"},
    };
    devices.add("event0", kKeyboard);
    EvdevKeyWatch watch(devices.setup(keymap, access));
    for (const Row& row : rows) {
        if (const std::string text = keymapText(row.layout); text != keymap.text()) {
            keymap.set(text);
        }
        EXPECT_TRUE(typesPhrase(watch, devices, row.phrase, row.typed)) << row.layout;
    }
    // The watch starts with the locks a keyboard's lights show; event0 has none.
    devices.add("event1", {true, false, false, false, true, true, true});
    EXPECT_TRUE(typesPhrase(watch, devices, "Z1", keys({KEY_Y, KEY_KP1})));
}

TEST_F(EvdevTest, CancelWatchCountsCtrlEscOnPhysicalKeyboardsOnly) {
    struct Row {
        std::vector<std::pair<const char*, std::vector<input_event>>> sent;
        bool cancels;
    };
    const std::vector<Row> rows = {
        {{{"event0", keys({KEY_RIGHTCTRL, KEY_ESC})}}, true},
        {{{"event0", keys({KEY_LEFTCTRL})}, {"event1", keys({KEY_ESC, -KEY_ESC})}}, true},
        {{{"event0", keys({KEY_LEFTCTRL, -KEY_LEFTCTRL, KEY_ESC})}}, false},
        {{{"event9", keys({KEY_LEFTCTRL})}, {"event0", keys({KEY_ESC, -KEY_ESC})}}, false},
    };
    devices.add("event0", kKeyboard);
    devices.add("event1", kKeyboard);
    devices.add("event9", {true, false, true, false});  // another program's uinput keyboard
    int cancels = 0;
    EvdevCancelWatch watch(devices.setup(keymap, access));
    for (const Row& row : rows) {
        cancels = 0;
        ASSERT_TRUE(watch.start([&] { ++cancels; }));
        for (const auto& [device, events] : row.sent) {
            devices.send(device, events);
            test::runEventsUntil([] { return false; }, 50);
        }
        EXPECT_EQ(cancels, row.cancels ? 1 : 0);
        watch.stop();
    }
}

TEST_F(EvdevTest, InputCaptureRecordsKeysButtonsAndMovesFromWhereThePointerWas) {
    devices.add("event0", kKeyboard);
    devices.add("event1", kPointer);
    EvdevInputCapture capture(devices.setup(keymap, access));
    using K = CapturedInput::Kind;
    using Seen = std::tuple<K, std::uint32_t, std::uint32_t, std::int32_t, std::int32_t,
                            std::uint32_t>;  // kind, detail, modifiers, x, y, time
    std::vector<Seen> got;
    ASSERT_TRUE(capture.start(
        [&](const CapturedInput* events, std::size_t count) {
            for (const CapturedInput& e : std::span(events, count))
                got.emplace_back(e.kind, e.detail, e.modifiers, e.rootX, e.rootY, e.time);
        },
        [] {}));
    devices.send("event1", {ev(EV_REL, REL_X, 5, 1000), ev(EV_REL, REL_Y, 5, 1000), syn(1000),
                            ev(EV_REL, REL_X, -2, 1010), ev(EV_REL, REL_Y, 1, 1010),
                            ev(EV_KEY, BTN_LEFT, 1, 1010), syn(1010),
                            ev(EV_REL, REL_WHEEL, 1, 1020), syn(1020)});
    ASSERT_TRUE(test::runEventsUntil([&] { return got.size() == 5; }, 2000));
    devices.send("event0", {ev(EV_KEY, KEY_LEFTSHIFT, 1, 2000), syn(2000),
                            ev(EV_KEY, KEY_A, 1, 2005), syn(2005)});
    ASSERT_TRUE(test::runEventsUntil([&] { return got.size() == 7; }, 2000));
    const std::vector<Seen> expected = {
        {K::Motion, 0, 0, 5, 5, 1000},
        {K::Motion, 0, 0, 3, 6, 1010},
        {K::ButtonPress, 1, 0, 3, 6, 1010},
        {K::ButtonPress, 4, 0, 3, 6, 1020},
        {K::ButtonRelease, 4, 0, 3, 6, 1020},
        {K::KeyPress, KEY_LEFTSHIFT + 8, 0, 3, 6, 2000},
        {K::KeyPress, KEY_A + 8, CapturedInput::kShift, 3, 6, 2005},
    };
    EXPECT_EQ(got, expected);
}

TEST_F(EvdevTest, WatchesWithoutAccessTellTheUserOnceAndRefuseOnlyTheRecording) {
    std::vector<std::string> shown;
    AccessNotice telling([&](const std::string& text) { shown.push_back(text); });
    devices.add("event0", kKeyboard);
    devices.deny("event0", true);
    const EvdevSetup setup = devices.setup(keymap, telling);
    EvdevKeyWatch keys(setup);
    EvdevCancelWatch cancel(setup);
    EvdevInputCapture capture(setup);
    EXPECT_TRUE(keys.start([](const WatchedKey&, const KeyLayout&) {}));
    EXPECT_TRUE(cancel.start([] {}));
    EXPECT_FALSE(capture.start([](const CapturedInput*, std::size_t) {}, [] {}));
    EXPECT_EQ(shown, std::vector<std::string>{AccessNotice::kText});
}

}  // namespace
}  // namespace ks::evdev
