// The real keystrider on a private Xvfb, driven as a user or a second copy would.
#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "LoopbackHttp.h"
#include "RegText.h"
#include "TempDir.h"
#include "TypingWindow.h"
#include "XTestDriver.h"
#include "XvfbSession.h"
#include "store/KeyTree.h"

namespace ks::test {
namespace {

using std::chrono::milliseconds;

class KeystriderE2ETest : public ::testing::Test {
protected:
    static constexpr const char* kStore = "config/keystrider/store.db";
    // Keystrider with the folders under `home` (default: the test's own),
    // its stdout and stderr in one pipe.
    std::unique_ptr<ChildProcess> start(std::vector<std::string> args, const std::string& display,
                                        std::string home = {}) {
        const char* script =
            "export XDG_CONFIG_HOME=$0/config TMPDIR=$0 XDG_RUNTIME_DIR=$0 "
            "QT_QPA_PLATFORM=xcb; exec \"$@\" 2>&1";
        if (home.empty()) home = dir.path().string();
        args.insert(args.begin(), {"sh", "-c", script, home, KS_KEYSTRIDER});
        return std::make_unique<ChildProcess>(args, display, true);
    }
    // The exit status and the output of a copy that ends by itself.
    std::pair<int, std::string> run(std::vector<std::string> args, const std::string& display) {
        auto copy = start(std::move(args), display);
        copy->readUntil([](const std::string&) { return false; }, milliseconds(5000));
        return {copy->wait(milliseconds(3000)), copy->output()};
    }
    // A macro's SEND KEYS command `index` typing `keys`.
    static std::string typing(const std::string& macro, const std::string& keys, int index = 0) {
        return "[Macros\\" + macro + "\\Commands\\" + std::to_string(index) +
               "]\n\"id\"=dword:00001014\n\"Keys\"=\"" + keys + "\"\n";
    }

    // The store of a copy whose folders are under `home`, filled from .reg text.
    static void seed(const TempDir& home, const std::string& reg) {
        KeyTree tree(home.file(kStore));
        loadReg(tree, reg);
    }
    // Posts `body` to a copy's server once it serves; its reply.
    static std::string postOnceServing(std::uint16_t port, const std::string& body) {
        std::string reply;
        eventually([&] {
            reply = exchange(port, {"POST / HTTP/1.0\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body});
            return !reply.empty();
        });
        return reply;
    }

    // Ends a copy as a session's end does; it exits cleanly.
    static void stop(ChildProcess& copy) {
        kill(copy.pid(), SIGTERM);
        EXPECT_EQ(copy.wait(milliseconds(10000)), 0) << copy.output();
    }

    XvfbSession xvfb;
    TempDir dir;
};

// The terminal's answers need no running copy. A second copy hands its macro
// to the first, or without one shows the first's window (there being no tray)
// and ends. A macro built in the editor runs by its hot key. While COPY waits
// for a clipboard owner that does not answer (a stopped xclip), the program
// still answers a second copy at once.
TEST_F(KeystriderE2ETest, AnswersTheTerminalAndRunsMacrosOfItsCommandLineHotKeysCopiesAndEditor) {
    const auto [status, refusal] = run({"Backup"}, "");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(refusal.rfind("keystrider: no X display is set", 0), 0u) << refusal;
    EXPECT_EQ(refusal.find('\n'), refusal.size() - 1) << refusal;  // one line
    EXPECT_EQ(run({"--help"}, xvfb.display()).second.rfind("Usage: keystrider [MACRO NAME]", 0),
              0u);
    EXPECT_EQ(run({"--version"}, xvfb.display()),
              (std::pair<int, std::string>{0, "keystrider " KS_VERSION "\n"}));

    // "Own" sets a variable that a later run of "Nightly Backup" types.
    seed(dir,
         "[]\n\"ExpansionOn\"=dword:00000001\n"
         "[Macros\\Own\\Commands\\1]\n\"id\"=dword:00001102\n\"Name\"=\"Job\"\n"
         "\"Value\"=\"handed\"\n"
         "[Macros\\Copy\\Commands\\0]\n\"id\"=dword:00001003\n\"BufName\"=\"b\"\n" +
             typing("Own", "own ") + typing("Nightly Backup", "[job]"));
    TypingWindow window(xvfb);
    auto first = start({"Own"}, xvfb.display());
    ASSERT_EQ(window.text(4, milliseconds(10000)), "own ");

    EXPECT_EQ(run({"Nightly", "Backup"}, xvfb.display()).first, 0);
    EXPECT_EQ(window.text(10), "own handed");

    // The editor, by the keyboard: the macro's name and hot key, SEND KEYS "ab"
    // and the on-screen keyboard's "1". "window:T" waits until the window
    // titled T is shown and has the focus, so that a loaded machine never sends
    // keys to a window not yet there.
    const auto keys = [&](std::vector<std::string> steps) {
        for (const std::string& step : steps) {
            if (step.rfind("window:", 0) == 0) {
                ASSERT_TRUE(xvfb.run({"xdotool", "search", "--sync", "--onlyvisible", "--name",
                                      "^" + step.substr(7) + "$", "windowactivate", "--sync"},
                                     milliseconds(15000)))
                    << step;
                continue;
            }
            const bool text = step.rfind("type:", 0) == 0;
            ASSERT_TRUE(xvfb.run({"xdotool", text ? "type" : "key", text ? step.substr(5) : step}))
                << step;
            std::this_thread::sleep_for(milliseconds(200));
        }
    };
    const std::string editor = "window:Keystrider - Modify Macro";
    keys({"window:Keystrider", "alt+a", editor, "type:Typer", "Tab", "Tab", "ctrl+alt+j"});
    keys({"alt+y", "k", "alt+o", "Home", "Return", "window:Keystrider - SEND KEYS"});
    keys({"type:ab", "alt+o", editor});
    // The on-screen keyboard's "1": the first key after its mode buttons is Esc,
    // then the function keys, Print, Scroll Lock, Pause, the grave accent, "1".
    keys({"alt+r"});
    for (int tab = 0; tab < 18; ++tab) keys({"Tab"});
    keys({"space", "alt+s"});
    TypingWindow typedByTyper(xvfb, "typed by Typer");
    ASSERT_TRUE(xvfb.run({"xdotool", "key", "ctrl+alt+j"}));
    EXPECT_EQ(typedByTyper.text(3, milliseconds(5000)), "ab1") << first->output();

    std::ofstream(dir.file("held")) << "held";
    ChildProcess owner({"xclip", "-selection", "clipboard", "-quiet", "-i", dir.file("held")},
                       xvfb.display(), false);
    ASSERT_TRUE(xvfb.run({"sh", "-c", "until xclip -selection clipboard -o; do sleep 0.01; done"}));
    kill(owner.pid(), SIGSTOP);
    ASSERT_TRUE(xvfb.run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Keystrider$",
                          "windowminimize", "--sync"}));
    EXPECT_EQ(run({"Copy"}, xvfb.display()).first, 0);
    std::this_thread::sleep_for(milliseconds(1000));  // the run has begun and waits
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(run({}, xvfb.display()).first, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(3));
    const std::vector<std::string> shown = {"xdotool", "search", "--onlyvisible", "--name",
                                            "^Keystrider$"};
    EXPECT_TRUE(eventually([&] { return xvfb.run(shown); }, milliseconds(200)));
    kill(owner.pid(), SIGKILL);
    stop(*first);
}

// Two copies, each on its own display with its own store and serving on its own
// port. The second copy's every-minute schedule fires within a second of its
// second (the box's line reaching standard error as the macro starts). The
// first copy fetches the second's clipboard into a variable and types it, and
// replaces typed phrases; its tray item switches them off. Each copy asks
// the other to push its macros or recordings, which are imported without a
// question, a name the receiver already has getting the next free number.
TEST_F(KeystriderE2ETest, TwoCopiesScheduleFetchReplacePhrasesAndPushToEachOther) {
    using namespace std::chrono;
    const XvfbSession otherDisplay;
    const TempDir otherDir;
    const std::uint16_t ports[] = {freePort(), freePort()};
    const TempDir* homes[] = {&dir, &otherDir};
    for (int copy = 0; copy < 2; ++copy) {
        std::ostringstream port;  // as the store's dword value text
        port << std::hex << ports[copy];
        seed(*homes[copy],
             "[]\n\"SrvOn\"=dword:00000001\n\"SrvAcceptPush\"=dword:00000001\n"
             "\"SrvPort\"=dword:" +
                 port.str() + "\n" + typing("Hello", copy == 0 ? "a" : "b") + "[Journals\\Rec" +
                 std::to_string(copy) +
                 "]\n\"Count\"=dword:00000001\n\"Type\"=dword:00000002\n"
                 "\"0\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13\n");
    }
    seed(dir,
         "[]\n\"ExpansionOn\"=dword:00000001\n\"WPhraseOn\"=dword:00000001\n"
         "[Macros\\Again]\n\"WPhrase\"=\"brb\"\n\"WPhraseCase\"=dword:0\n"
         "[Macros\\Again\\Commands\\0]\n\"id\"=dword:00001101\n"
         "\"Text\"=\"brb, be right back\"\n"
         "[Macros\\Fetch\\Commands\\0]\n\"id\"=dword:00001100\n"
         "\"IPAddress\"=\" localhost \"\n\"Port\"=\"" +
             std::to_string(ports[1]) + "\"\n\"BufName\"=\"Got\"\n" + typing("Fetch", "[Got]", 1));
    const auto due = floor<seconds>(system_clock::now()) + seconds(6);
    seed(
        otherDir,
        "[]\n\"SchedOn\"=dword:1\n[Macros\\Tick\\Schedule\\0]\n\"Period\"=dword:6\n"
        "\"Year\"=\"N/A\"\n\"Month\"=\"N/A\"\n\"Day\"=\"N/A\"\n\"DayOfWeek\"=\"N/A\"\n"
        "\"Hour\"=\"N/A\"\n\"Minute\"=\"N/A\"\n\"Second\"=\"" +
            std::to_string(due.time_since_epoch().count() % 60) +
            "\"\n[Macros\\Tick\\Commands\\0]\n\"id\"=dword:00001009\n\"WindowTitle\"=\"Tick\"\n"
            "\"MessageBody\"=\"due\"\n\"TimeOut\"=\"1\"\n\"MsgBoxType\"=dword:0\n"
            "\"MsgBoxPos\"=dword:5\n\"MsgBoxSetFocus\"=dword:0\n\"MsgBoxSetForeground\"=dword:0\n");
    ASSERT_TRUE(otherDisplay.run({"sh", "-c", "printf remote-clip | xclip -selection clipboard"}));
    const auto second = start({}, otherDisplay.display(), otherDir.path().string());
    ASSERT_NE(postOnceServing(ports[1], "<MsgID ID=\"1000\"></MsgID>"), "");  // it serves

    ASSERT_TRUE(second->readUntil(
        [](const std::string& out) { return out.find("Tick: due") != std::string::npos; },
        milliseconds(15000)))
        << second->output();
    const auto fired = system_clock::now();
    EXPECT_GE(fired, due);
    EXPECT_LT(fired, due + seconds(1));

    ChildProcess tray({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                       "--width", "24", "--height", "24"},
                      xvfb.display());
    TypingWindow window(xvfb);
    const auto first = start({"Fetch"}, xvfb.display());
    std::string shown = "remote-clip";
    EXPECT_EQ(window.text(11, milliseconds(10000)), shown) << first->output();
    ASSERT_TRUE(xvfb.run(
        {"sh", "-c",  // until the icon is docked
         "until xwininfo -root -tree | grep -q '\"keystrider\": (\"'; do sleep 0.1; done"}));
    // Phrases typed through XTest by another program, as a person types them, each
    // typing ending with a phrase: a key typed while a replacement is being typed
    // would land among its keys.
    const auto type = [&](const char* keys, const char* replaced) {
        ASSERT_TRUE(xvfb.run({"xdotool", "type", keys}));
        shown += replaced;
        EXPECT_EQ(TypingWindow::edited(window.text(1000, milliseconds(700))), shown) << keys;
    };
    type(" brb", " brb, be right back");  // a replacement holding its phrase fires once
    // The tray's phrase item, in trayer's area one icon wide at the top right.
    XTestDriver driver(xvfb.display());
    driver.moveTo(1024 - 12, 12);
    driver.button(3, true), driver.button(3, false), driver.sync();
    std::this_thread::sleep_for(milliseconds(300));  // the menu opens
    for (const char* key : {"Down", "Down", "Return"}) driver.chord({key});
    std::this_thread::sleep_for(milliseconds(300));
    type(" brb", " brb");

    // Asks copy `to` to push its macros (1006) or recordings (1007) to the other's port.
    const auto ask = [&](int to, int request) {
        postOnceServing(ports[to], "<KEYSTRIDER ID=\"" + std::to_string(request) + "\"><SrvPort>" +
                                       std::to_string(ports[1 - to]) + "</SrvPort></KEYSTRIDER>");
    };
    const auto arrives = [&](int copy, const std::string& key) {
        KeyTree tree(homes[copy]->file(kStore), KeyTree::Access::ReadOnly);
        return eventually([&] { return tree.keyExists("Software\\Quorvel\\Keystrider\\" + key); });
    };
    ask(1, 1006);
    EXPECT_TRUE(arrives(0, "Macros\\Hello1\\Commands\\0")) << first->output() << second->output();
    ask(0, 1007);
    EXPECT_TRUE(arrives(1, "Journals\\Rec0")) << first->output() << second->output();
    for (ChildProcess* copy : {first.get(), second.get()}) stop(*copy);
}

}  // namespace
}  // namespace ks::test
