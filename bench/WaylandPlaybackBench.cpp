// Playback timing on a private headless sway, measured where the events
// land: the Qt typing window, full screen, notes the monotonic microsecond
// each key event and pointer move arrives at. The 1,000-event recording
// (key presses, releases and pointer moves; gaps of 5, 20 and 200 ms) is
// played by the program's player on its Wayland thread, and the same events
// by a bare reference: a virtual keyboard and pointer of its own on a
// connection and thread of its own, each event sent when clock_nanosleep
// returns from its absolute deadline. The two alternate, `--runs` times each.
//
//   bench_wayland_playback [--runs N]

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "PlaybackRuns.h"
#include "RecorderDoubles.h"
#include "RecordingMessages.h"
#include "SwayQuery.h"
#include "TempDir.h"
#include "TypingWindow.h"
#include "WaylandSession.h"
#include "journal/Player.h"
#include "journal/RecordingStore.h"
#include "platform/qt/QtClock.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"
#include "platform/wayland/WaylandPlaybackThread.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace ks::bench {
namespace {

// Pointer moves inside the 1280 × 720 output.
constexpr MoveSpan kMoves{1000, 500};

// What arrived, as the window printed it: "KEY us down|up keycode", "MOVE us x y".
struct Arrival {
    long long micros = 0;
    std::string what;  // "down 38", "up 38", "move 100 200"
};

std::vector<Arrival> arrivals(const std::string& text) {
    std::vector<Arrival> out;
    std::istringstream lines(text);
    std::string kind, a, b;
    long long micros = 0;
    while (lines >> kind >> micros >> a >> b) {
        out.push_back({micros, kind == "KEY" ? a + " " + b : "move " + a + " " + b});
    }
    return out;
}

struct Figures {
    double median = 0, p99 = 0, max = 0;
    std::size_t lost = 0;
};

// Per-gap error |arrived gap - recorded gap| of consecutive events that both arrived.
Figures measure(const std::vector<std::string>& expected, const std::vector<std::int32_t>& gaps,
                const std::vector<Arrival>& seen) {
    std::vector<std::optional<long long>> at;
    std::size_t next = 0;
    for (const std::string& what : expected) {
        std::size_t j = next;
        while (j < seen.size() && seen[j].what != what) ++j;
        at.push_back(j < seen.size() ? std::optional(seen[j].micros) : std::nullopt);
        if (j < seen.size()) next = j + 1;
    }
    Figures f;
    std::vector<double> errors;
    for (std::size_t i = 1; i < at.size(); ++i) {
        if (!at[i]) ++f.lost;
        if (!at[i] || !at[i - 1]) continue;
        errors.push_back(std::abs((*at[i] - *at[i - 1]) / 1000.0 - gaps[i - 1]));
    }
    f.median = percentile(errors, 0.5);
    f.p99 = percentile(errors, 0.99);
    f.max = errors.empty() ? 0 : *std::max_element(errors.begin(), errors.end());
    return f;
}

void print(const std::string& what, const Figures& f) {
    std::printf("%-36s %8.2f %8.2f %8.2f %6zu\n", what.c_str(), f.median, f.p99, f.max, f.lost);
    std::fflush(stdout);
}

// The bare reference: a virtual keyboard (with the default layout) and a
// virtual pointer on a connection of its own, from a thread of its own at
// the default priority.
void injectReference(const std::string& socket, const std::vector<JournalEvent>& events,
                     const std::vector<std::int32_t>& gaps, const KeyLayout& layout, int width,
                     int height) {
    auto connection = wayland::WaylandConnection::open(socket);
    if (!connection) return;
    auto seat = (*connection)->bind<wl_seat>(wl_seat_interface, 1, 7);
    auto keyboards = (*connection)
                         ->bind<zwp_virtual_keyboard_manager_v1>(
                             zwp_virtual_keyboard_manager_v1_interface, 1, 1);
    auto pointers = (*connection)
                        ->bind<zwlr_virtual_pointer_manager_v1>(
                            zwlr_virtual_pointer_manager_v1_interface, 1, 2);
    if (!seat || !keyboards || !pointers) return;
    auto* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(*keyboards, *seat);
    auto* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(*pointers, *seat);
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const int fd = memfd_create("reference-keymap", MFD_CLOEXEC);
    const std::size_t size = std::strlen(text) + 1;
    if (write(fd, text, size) != static_cast<ssize_t>(size)) return;
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(size));
    close(fd);
    std::free(text);
    (*connection)->roundtrip();
    sendOnSchedule(events, gaps, [&](const JournalEvent& e, const timespec& due) {
        const auto ms = static_cast<std::uint32_t>(due.tv_sec * 1000 + due.tv_nsec / 1000000);
        if (e.message == kWmMouseMove) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, ms, e.paramL, e.paramH,
                                                    static_cast<std::uint32_t>(width),
                                                    static_cast<std::uint32_t>(height));
            zwlr_virtual_pointer_v1_frame(pointer);
        } else {
            zwp_virtual_keyboard_v1_key(keyboard, ms,
                                        layout.MapVirtualKey(e.paramL, MapType::VkToScan),
                                        e.message == kWmKeyDown ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                                : WL_KEYBOARD_KEY_STATE_RELEASED);
        }
        (*connection)->flush();
    });
    (*connection)->roundtrip();
    zwp_virtual_keyboard_v1_destroy(keyboard);
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(*pointers);
    zwp_virtual_keyboard_manager_v1_destroy(*keyboards);
    wl_seat_destroy(*seat);
    (*connection)->roundtrip();
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}

class Bench {
public:
    Bench(test::WaylandSession& session, wayland::WaylandInput& input)
        : session_(session),
          input_(input),
          thread_(session.socketPath(), input.injector()),
          store_(tree_, messages_),
          player_({store_, expander_, thread_, watch_, clock_, host_}) {
        store_.EnsureRootKeys();
    }

    bool ready() { return thread_.available(); }

    std::vector<std::string> expected(const std::vector<JournalEvent>& events) {
        std::vector<std::string> out;
        for (const JournalEvent& e : events) {
            if (e.message == kWmMouseMove) {
                out.push_back("move " + std::to_string(e.paramL) + " " + std::to_string(e.paramH));
            } else {
                out.push_back(std::string(e.message == kWmKeyDown ? "down " : "up ") +
                              std::to_string(keycodeOf(e)));
            }
        }
        return out;
    }

    std::vector<Arrival> play(const std::vector<JournalEvent>& events) {
        test::TypingWindow window(session_, "playback", true);
        storeRecording(store_, events, 0);
        playStored(player_, host_);
        return arrivals(window.text(SIZE_MAX, std::chrono::milliseconds(1000)));
    }

    std::vector<Arrival> playReference(const std::vector<JournalEvent>& events,
                                       const std::vector<std::int32_t>& gaps) {
        test::TypingWindow window(session_, "reference", true);
        const QJsonObject output = test::askSway(session_, "get_outputs").array()[0].toObject();
        const std::shared_ptr<const KeyLayout> layout = input_.keymap().layout();
        std::thread reference(injectReference, session_.socketPath(), events, gaps,
                              std::cref(*layout), output["rect"]["width"].toInt(),
                              output["rect"]["height"].toInt());
        reference.join();
        return arrivals(window.text(SIZE_MAX, std::chrono::milliseconds(1000)));
    }

private:
    unsigned keycodeOf(const JournalEvent& e) {
        return input_.keymap().layout()->MapVirtualKey(e.paramL, MapType::VkToScan) + 8;
    }

    test::WaylandSession& session_;
    wayland::WaylandInput& input_;
    wayland::WaylandPlaybackThread thread_;
    test::ScriptedCancelWatch watch_;
    test::TempDir dir_;
    test::RecordingMessages messages_;
    KeyTree tree_{dir_.file("store.db")};
    SettingsStore store_;
    NoExpansion expander_;
    QtClock clock_;
    BenchHost host_;
    Player player_;
};

int run(int runs) {
    test::WaylandSession session(test::WaylandSession::Compositor::Sway, "default_border none");
    if (!session.skipReason().empty()) {
        std::fprintf(stderr, "%s\n", session.skipReason().c_str());
        return 1;
    }
    auto connection = wayland::WaylandConnection::open(session.socketPath());
    auto input = connection ? wayland::WaylandInput::open(**connection)
                            : Expected<std::unique_ptr<wayland::WaylandInput>>(connection.status());
    if (!input) {
        std::fprintf(stderr, "%s\n", input.error().c_str());
        return 1;
    }
    Bench bench(session, **input);
    if (!bench.ready()) {
        std::fprintf(stderr, "the player's thread has no virtual keyboard\n");
        return 1;
    }
    // 1,000 events: 400 gaps of 5 ms, 400 of 20, 199 of 200.
    const std::vector<std::int32_t> gaps = mixedGaps(999);
    const std::vector<JournalEvent> events = sequence(gaps, kMoves);
    const std::vector<std::string> expected = bench.expected(events);
    std::printf(
        "1,000 events (keys and pointer moves), gaps 5/20/200 ms, S = 0, headless sway, "
        "observed by a Qt window as they arrive\n");
    std::printf("%-36s %8s %8s %8s %6s\n", "run (per-gap error in ms)", "median", "p99", "max",
                "lost");
    double worstP99Beyond = -1e9;
    for (int r = 1; r <= runs; ++r) {
        const Figures mine = measure(expected, gaps, bench.play(events));
        const Figures reference = measure(expected, gaps, bench.playReference(events, gaps));
        print("Keystrider, run " + std::to_string(r), mine);
        print("reference, run " + std::to_string(r), reference);
        worstP99Beyond = std::max(worstP99Beyond, mine.p99 - reference.p99);
    }
    std::printf("worst run: Keystrider's p99 %+.2f ms beyond the reference's\n", worstP99Beyond);
    return 0;
}

}  // namespace
}  // namespace ks::bench

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::atoi(argv[++i]);
    }
    return ks::bench::run(runs);
}
