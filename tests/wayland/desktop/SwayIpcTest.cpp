#include "platform/wayland/SwayIpc.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstring>
#include <thread>

#include "TempDir.h"
#include "platform/wayland/SwayHotKeys.h"

namespace ks::wayland {
namespace {

using Status = SwayFrameRead::Status;

TEST(SwayIpcFrames, ReadsWhatIsWrittenAndAsksForMoreOrRefusesTheRest) {
    const std::string frame = encodeSwayFrame(4, R"({"a":1})");
    const std::string two = frame + encodeSwayFrame(kSwayBindingEvent, "{}");
    std::string longer = encodeSwayFrame(0, std::string(100, 'x'));
    struct Case {
        const char* what;
        std::string bytes;
        Status status;
        std::size_t consumed;
    } cases[] = {
        {"whole", frame, Status::Complete, frame.size()},
        {"first of two", two, Status::Complete, frame.size()},
        {"nothing yet", "", Status::Incomplete, 0},
        {"payload cut short", frame.substr(0, frame.size() - 1), Status::Incomplete, 0},
        {"wrong magic", "i3-ipX" + frame.substr(6), Status::Malformed, 0},
        {"above the limit", longer, Status::Malformed, 0},
    };
    for (const Case& c : cases) {
        const SwayFrameRead read = takeSwayFrame(c.bytes, 64);
        EXPECT_EQ(read.status, c.status) << c.what;
        EXPECT_EQ(read.consumed, c.consumed) << c.what;
    }
    const SwayFrameRead whole = takeSwayFrame(two);
    EXPECT_EQ(whole.frame.type, 4u);
    EXPECT_EQ(whole.frame.payload, R"({"a":1})");
}

TEST(SwayIpcReplies, CommandOutcomes) {
    struct Case {
        const char* json;
        bool ok;
        const char* error;
    } cases[] = {
        {R"([{"success":true}])", true, ""},
        {R"([{"success":true},{"success":false,"parse_error":true,"error":"Unknown command"}])",
         false, "sway IPC: Unknown command"},
        {R"([{"success":false}])", false, "sway IPC: a command failed"},
        {R"([])", false, "sway IPC: the reply to a command is no list of outcomes"},
        {R"([{"success":tr)", false, "sway IPC: the reply to a command is no list of outcomes"},
    };
    for (const Case& c : cases) {
        const Result result = parseCommandReply(c.json);
        EXPECT_EQ(result.ok(), c.ok) << c.json;
        EXPECT_EQ(result.error(), c.error) << c.json;
    }
}

TEST(SwayIpcReplies, TreeGivesTheViewsTiledAndFloating) {
    const char* tree = R"({"id":1,"type":"root","nodes":[
        {"id":2,"type":"output","name":"__i3","nodes":[
          {"id":5,"type":"workspace","name":"__i3_scratch","floating_nodes":[
            {"id":6,"type":"floating_con","shell":"xdg_shell","app_id":"away","name":"gone"}]}]},
        {"id":3,"type":"output","nodes":[
        {"id":4,"type":"workspace","nodes":[
          {"id":7,"type":"con","nodes":[
            {"id":8,"type":"con","shell":"xdg_shell","pid":41,"app_id":"foot","name":"~ – ünï",
             "focused":true,"rect":{"x":0,"y":0,"width":640,"height":480},"nodes":[]}]}],
         "floating_nodes":[
          {"id":9,"type":"floating_con","shell":"xwayland","pid":42,"name":"xterm",
           "window_properties":{"class":"XTerm"},
           "rect":{"x":10,"y":47,"width":300,"height":173},
           "deco_rect":{"x":10,"y":20,"width":300,"height":27},"nodes":[]}]}]}]})";
    const auto windows = parseTree(tree);
    ASSERT_TRUE(windows);
    // id app_id "title" left,top,right,bottom, floating? hidden?
    std::vector<std::string> seen;
    for (const SwayWindow& w : *windows) {
        seen.push_back(std::to_string(w.id) + ' ' + w.appId + " \"" + w.title + "\" " +
                       std::to_string(w.rect.left) + ',' + std::to_string(w.rect.top) + ',' +
                       std::to_string(w.rect.right) + ',' + std::to_string(w.rect.bottom) +
                       (w.floating ? " floating" : "") + (w.hidden ? " hidden" : ""));
    }
    const std::vector<std::string> expected{"6 away \"gone\" 0,0,0,0 floating hidden",
                                            "8 foot \"~ – ünï\" 0,0,640,480",
                                            "9 XTerm \"xterm\" 10,20,310,220 floating"};
    EXPECT_EQ(seen, expected);

    for (const char* bad : {R"({"id":1,"nodes":[{"id":)", "[1,2]", "", "not json"}) {
        EXPECT_FALSE(parseTree(bad)) << bad;
    }
}

TEST(SwayIpcReplies, WindowsAlikeArePairedInTheOrderTheyAppeared) {
    const auto window = [](std::int64_t id, const char* appId, const char* title) {
        return SwayWindow{id, appId, title, {}, false, false};
    };
    // Listed by sway in tree order, not in the order it made them.
    const std::vector<SwayWindow> windows{window(30, "foot", "a"), window(12, "foot", "a"),
                                          window(20, "qt", "a"), window(5, "foot", "b")};
    const std::vector<WindowName> names{{"foot", "a"}, {"foot", "b"}, {"foot", "a"},
                                        {"qt", "a"},   {"foot", "a"}, {"x", "a"}};
    const std::vector<std::optional<std::size_t>> expected{1, 3, 0, 2, std::nullopt, std::nullopt};
    EXPECT_EQ(pairWithSwayWindows(names, windows), expected);
}

TEST(SwayIpcReplies, BindingEventsOfThisProgramOnlyAndReloads) {
    struct Case {
        const char* json;
        std::optional<std::int32_t> id;
    } cases[] = {
        {R"({"change":"run","binding":{"command":"nop ks-tag 17","symbol":"k"}})", 17},
        {R"({"change":"run","binding":{"command":"nop ks-tag 0"}})", 0},
        {R"({"change":"run","binding":{"command":"nop other-tag 17"}})", std::nullopt},
        {R"({"change":"run","binding":{"command":"nop ks-tag 17; exec x"}})", std::nullopt},
        {R"({"change":"run","binding":{"command":"nop ks-tag 99999999999"}})", std::nullopt},
        {R"({"change":"other","binding":{"command":"nop ks-tag 17"}})", std::nullopt},
        {R"({"change":"run","binding":{"command":"nop ks-t)", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseBindingEvent(c.json, "ks-tag"), c.id) << c.json;
    // Of the workspace news, a reload of the configuration only.
    EXPECT_TRUE(isReloadEvent(R"({"change":"reload","old":null,"current":null})"));
    EXPECT_FALSE(isReloadEvent(R"({"change":"focus","current":{"name":"1"}})"));
    EXPECT_FALSE(isReloadEvent(R"({"change":"rel)"));
}

TEST(SwayIpcReplies, TheDefaultModesBindingsOfAConfiguration) {
    const char* config = R"(# a comment
set $mod Mod4
set $modifier Mod1
bindsym $mod+Return exec foot
  bindsym --no-repeat --to-code $modifier+Shift+Q kill
bindcode 133+38 exec nothing
bindsym Control+Alt+Delete
mode "resize" {
    bindsym Left resize shrink width 10px
}
bindsym --release {
    Super+Print exec grim
}
bindsym XF86AudioMute exec mute)";
    const std::vector<std::string> expected{"Mod4+return", "Mod1+Shift+q", "Mod4+print",
                                            "xf86audiomute"};
    EXPECT_EQ(configuredCombos(config), expected);
    EXPECT_EQ(normalizedCombo("Shift+Control+Alt+K"), "Ctrl+Mod1+Shift+k");
}

// A peer on a socket of its own that answers every request with `answer`.
class FakeSway {
public:
    explicit FakeSway(std::string answer) : answer_(std::move(answer)) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path().c_str());
        ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(listener_, 1);
        thread_ = std::thread([this] {
            const int peer = ::accept(listener_, nullptr, nullptr);
            char request[256];
            if (::recv(peer, request, sizeof request, 0) > 0 && !answer_.empty()) {
                ::send(peer, answer_.data(), answer_.size(), MSG_NOSIGNAL);
            }
            char rest;
            ::recv(peer, &rest, 1, 0);  // until the client hangs up
            ::close(peer);
        });
    }
    ~FakeSway() {
        thread_.join();
        ::close(listener_);
    }
    std::string path() const { return dir_.file("sway-ipc.sock"); }

private:
    test::TempDir dir_;
    std::string answer_;
    int listener_ = -1;
    std::thread thread_;
};

TEST(SwayIpcSocket, AHostilePeerCostsAtMostTheReplyTime) {
    struct Case {
        const char* what;
        std::string answer;
        const char* error;
    } cases[] = {
        {"answers", encodeSwayFrame(0, R"([{"success":true}])"), ""},
        {"garbage", "GET / HTTP/1.0\r\n\r\n",
         "sway IPC: the compositor sent something that is no IPC message"},
        {"silent", "", "sway IPC: sway did not answer in time"},
    };
    for (const Case& c : cases) {
        FakeSway peer(c.answer);
        auto ipc = SwayIpc::connect(peer.path());
        ASSERT_TRUE(ipc) << ipc.error();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ipc->runCommand("nop").error(), c.error) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  kSwayReplyTime + std::chrono::seconds(1))
            << c.what;
    }
}

// The names sway binds hot keys by, from the key-code layer on real layouts.
TEST(SwayComboTest, CombosNameTheKeyOfTheLayoutInForce) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct Case {
        const char* layout;
        std::uint32_t modifiers;
        std::uint32_t vk;
        std::optional<std::string> combo;
    } cases[] = {
        {"us", kModControl | kModAlt, 'K', "Ctrl+Mod1+k"},
        {"us", kModShift | kModWin, 0x74, "Shift+Mod4+F5"},
        {"us", 0, 0x0D, "Return"},
        {"us", kModControl, 0xBA, "Ctrl+semicolon"},
        {"de", kModControl, 0xBA, "Ctrl+odiaeresis"},
        {"de", kModAlt, 'Z', "Mod1+z"},
        {"us", kModControl, 0xFF, std::nullopt},
    };
    for (const Case& c : cases) {
        const xkb_rule_names names{"evdev", "pc105", c.layout, "", ""};
        xkb_keymap* keymap =
            xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(keymap, nullptr);
        EXPECT_EQ(swayCombo(keymap, c.modifiers, c.vk), c.combo) << c.layout << " " << c.vk;
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
}

}  // namespace
}  // namespace ks::wayland
