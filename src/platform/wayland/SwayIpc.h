#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "platform/WindowControl.h"

namespace ks::wayland {

// Message types of sway's IPC (the i3 numbering). Events carry the high bit.
enum class SwayMessage : std::uint32_t {
    RunCommand = 0,
    Subscribe = 2,
    GetTree = 4,
    GetConfig = 9,
};
inline constexpr std::uint32_t kSwayEventBit = 0x80000000;
inline constexpr std::uint32_t kSwayWorkspaceEvent = kSwayEventBit | 0;
inline constexpr std::uint32_t kSwayBindingEvent = kSwayEventBit | 5;

// Replies larger than this are refused: the other end of the socket is
// another program, and get_tree of a crowded desktop stays far below it.
inline constexpr std::size_t kSwayReplyLimit = 16u << 20;
// How long one reply may take before the connection is given up.
inline constexpr std::chrono::milliseconds kSwayReplyTime{2000};

struct SwayFrame {
    std::uint32_t type = 0;
    std::string payload;
};

// One message on the wire: "i3-ipc", the payload's length and the type
// (both 32-bit, in the machine's byte order), then the payload.
std::string encodeSwayFrame(std::uint32_t type, std::string_view payload);

// The first frame in `buffer`. Incomplete asks for more bytes; Malformed
// (wrong magic, a length above `limit`) means the stream cannot be trusted.
struct SwayFrameRead {
    enum class Status { Complete, Incomplete, Malformed };
    Status status = Status::Incomplete;
    SwayFrame frame;
    std::size_t consumed = 0;
};
SwayFrameRead takeSwayFrame(std::string_view buffer, std::size_t limit = kSwayReplyLimit);

// A top-level window as sway's tree describes it.
struct SwayWindow {
    std::int64_t id = 0;  // sway's container id, used as [con_id=…]
    std::string appId;
    std::string title;
    ScreenRect rect;  // outer: the border and the title bar included
    bool floating = false;
    bool hidden = false;  // in the scratchpad
};

// Reading the JSON replies. Each accepts whatever the socket gave and says
// what was wrong with it.
// A run_command reply: success when every command in it succeeded.
Result parseCommandReply(std::string_view json);
// The application windows of a get_tree reply, in the tree's order.
Expected<std::vector<SwayWindow>> parseTree(std::string_view json);
// Which sway window each top-level window of another protocol is, the
// top-level windows given as (app id, title) in the order they appeared:
// windows alike in both are paired in the order sway made them, which is the
// order they appeared in. Nothing for one sway does not list.
struct WindowName {
    std::string appId;
    std::string title;
};
std::vector<std::optional<std::size_t>> pairWithSwayWindows(const std::vector<WindowName>& names,
                                                            const std::vector<SwayWindow>& windows);
// The number after "nop <tag> " of a binding event that ran such a command.
std::optional<std::int32_t> parseBindingEvent(std::string_view json, std::string_view tag);
// Whether a workspace event tells that sway read its configuration again,
// which drops the bindings made at run time.
bool isReloadEvent(std::string_view json);
// The key combinations the default mode of a sway configuration binds with
// bindsym, variables put in, each as normalizedCombo gives it.
std::vector<std::string> configuredCombos(std::string_view config);
// A combination with its modifiers under one name each, in one order, and
// its key in lower case: "Control+Shift+$mod+A" with $mod Mod4 and
// "Ctrl+Mod4+Shift+a" come out alike.
std::string normalizedCombo(std::string_view combo);

// A blocking connection to sway's IPC socket; every reply is bounded in
// size and time, so a compositor that stops answering costs kSwayReplyTime.
class SwayIpc {
public:
    // Connects to `socketPath`, or to $SWAYSOCK when it is empty.
    static Expected<SwayIpc> connect(const std::string& socketPath = {});
    SwayIpc(SwayIpc&& other) noexcept;
    SwayIpc& operator=(SwayIpc&& other) noexcept;
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;
    ~SwayIpc();

    // Sends one message and waits for its reply's payload.
    Expected<std::string> request(SwayMessage type, std::string_view payload);
    Result runCommand(std::string_view command);
    Expected<std::vector<SwayWindow>> windows();
    // The text of the configuration sway read last.
    Expected<std::string> config();
    // Subscribes to binding and workspace events; they are then read with nextEvent().
    Result subscribeToBindings();
    // The next event whose bytes have arrived, without waiting for more.
    std::optional<SwayFrame> nextEvent();
    int socket() const { return fd_; }
    // False once sway has closed the connection.
    bool connected() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    SwayIpc(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    Result send(std::uint32_t type, std::string_view payload);
    // Reads what the socket holds now, waiting up to `wait` for the first byte.
    Result fill(std::chrono::milliseconds wait);
    Expected<SwayFrame> nextFrame();

    int fd_ = -1;
    std::string path_;
    std::string buffer_;
    std::vector<SwayFrame> events_;  // read while waiting for a reply
};

}  // namespace ks::wayland
