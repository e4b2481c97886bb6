// The clipboard in the background on headless sway, against wl-copy and
// wl-paste run as another user in the session while foot has the focus.
#include <gtest/gtest.h>

#include <wayland-client.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "QtTestLoop.h"
#include "WaylandSession.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace ks::test {
namespace {

using wayland::WaylandClipboard;
using wayland::WaylandConnection;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Reads `format` the way the clipboard commands do, with the event loop running.
std::unique_ptr<ClipboardRead> readWhileRunning(WaylandClipboard& clipboard, std::uint32_t format) {
    bool answered = false;
    auto read = clipboard.read(
        [format](const std::vector<std::uint32_t>& offered) -> std::optional<std::uint32_t> {
            if (std::find(offered.begin(), offered.end(), format) == offered.end()) return {};
            return format;
        },
        [&] { answered = true; });
    if (read->state() == ClipboardRead::State::Waiting)
        runEventsUntil([&] { return answered; }, 8000);
    return read;
}

// A client that takes the selection and then reads nothing from the compositor.
struct SilentOwner {
    explicit SilentOwner(const std::string& socket) {
        auto opened = WaylandConnection::open(socket);
        if (!opened) return;
        connection = std::move(*opened);
        auto manager = connection->bind<zwlr_data_control_manager_v1>(
            zwlr_data_control_manager_v1_interface, 1, 1);
        auto seat = connection->bind<wl_seat>(wl_seat_interface, 1, 1);
        if (!manager || !seat) return;
        auto* device = zwlr_data_control_manager_v1_get_data_device(*manager, *seat);
        auto* source = zwlr_data_control_manager_v1_create_data_source(*manager);
        zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
        zwlr_data_control_device_v1_set_selection(device, source);
        connection->flush();
    }
    std::unique_ptr<WaylandConnection> connection;
};

TEST(WaylandClipboardTest,
     TextAndOtherTypesGoBothWaysWithoutFocusAndASilentOwnerCostsTheQuietLimit) {
    WaylandSession session;
    KS_SKIP_WITHOUT(session);
    session.startClient({"foot", "cat"});
    auto connection = WaylandConnection::open(session.socketPath());
    ASSERT_TRUE(connection) << connection.error();
    auto opened = WaylandClipboard::open(std::move(*connection));
    ASSERT_TRUE(opened) << opened.error();
    WaylandClipboard& clipboard = **opened;
    const std::string offered = "Grüße ✓ 漢字 \t end";
    ASSERT_TRUE(clipboard.offer(kClipboardText, bytesOf(offered)));
    ChildProcess& paste = session.startClient({"wl-paste", "-n"}, {}, true);
    EXPECT_TRUE(runEventsUntil(
        [&] {
            paste.readUntil([&](const std::string& out) { return out == offered; },
                            std::chrono::milliseconds(20));
            return paste.output() == offered;
        },
        10000))
        << paste.output();

    const std::string copied = "from wl-copy ✓";
    session.startClient({"wl-copy", "--foreground", copied});
    ASSERT_TRUE(runEventsUntil(
        [&] {
            const auto read = readWhileRunning(clipboard, kClipboardText);
            return read->content() && read->content()->bytes == bytesOf(copied);
        },
        10000));

    session.startClient({"wl-copy", "--foreground", "--type", "application/x-ks-test", "payload"});
    std::optional<std::uint32_t> registered;
    ASSERT_TRUE(runEventsUntil(
        [&] {
            const auto formats = clipboard.formats();
            if (!formats || formats->size() != 1) return false;
            registered = formats->front();
            return *registered >= kFirstRegisteredFormat;
        },
        10000));
    EXPECT_EQ(clipboard.data(*registered), bytesOf("payload"));

    // The program's own data reads back without the event loop.
    ASSERT_TRUE(clipboard.offer(*registered, bytesOf("mine")));
    EXPECT_EQ(clipboard.data(*registered), bytesOf("mine"));

    EXPECT_TRUE(clipboard.clear());
    EXPECT_EQ(clipboard.formats(), std::vector<std::uint32_t>{});

    // An owner that never answers costs the quiet limit and freezes nothing.
    SilentOwner owner(session.socketPath());
    ASSERT_TRUE(owner.connection);
    ASSERT_TRUE(runEventsUntil(
        [&] {
            const auto formats = clipboard.formats();
            return formats && *formats == std::vector<std::uint32_t>{kClipboardText};
        },
        10000));
    QElapsedTimer took;
    took.start();
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(100);
    const auto read = readWhileRunning(clipboard, kClipboardText);
    EXPECT_EQ(read->state(), ClipboardRead::State::Failed);
    EXPECT_GE(took.elapsed(), kClipboardQuietLimit.count());
    EXPECT_LT(took.elapsed(), kClipboardQuietLimit.count() + 2000);
    EXPECT_GE(ticks, 30);
}

}  // namespace
}  // namespace ks::test
