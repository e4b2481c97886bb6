#include "platform/wayland/SwayIpc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "core/PlusDigits.h"

namespace ks::wayland {

namespace {

constexpr std::string_view kMagic = "i3-ipc";
constexpr std::size_t kHeaderSize = kMagic.size() + 2 * sizeof(std::uint32_t);

std::uint32_t readWord(std::string_view bytes, std::size_t at) {
    std::uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    return word;
}

void appendWord(std::string& out, std::uint32_t word) {
    char bytes[sizeof word];
    std::memcpy(bytes, &word, sizeof word);
    out.append(bytes, sizeof word);
}

std::optional<QJsonDocument> parseJson(std::string_view json) {
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError) return std::nullopt;
    return document;
}

std::string text(const QJsonValue& value) {
    return value.toString().toStdString();
}

// sway's rect leaves out the title bar, which sits right above it.
ScreenRect outerRectOf(const QJsonObject& node) {
    const QJsonObject box = node.value(u"rect").toObject();
    const int x = box.value(u"x").toInt();
    const int y = box.value(u"y").toInt();
    const int titleBar = node.value(u"deco_rect").toObject().value(u"height").toInt();
    return {x, y - titleBar, x + box.value(u"width").toInt(), y + box.value(u"height").toInt()};
}

// Views (the containers that hold a program's window) are the nodes that name
// their shell; the others are outputs, workspaces and splits.
struct Where {
    bool floating = false;
    bool hidden = false;  // in the scratchpad, sway's place for windows out of sight
};

void collectWindows(const QJsonObject& node, Where where, std::vector<SwayWindow>& windows,
                    int depth) {
    // sway's trees are a handful of levels deep; a deeper one is no tree of sway's.
    constexpr int kDeepest = 64;
    if (depth > kDeepest) return;
    if (node.value(u"type").toString() == u"workspace") {
        where.hidden = node.value(u"name").toString() == u"__i3_scratch";
    }
    if (node.contains(u"shell")) {
        // An X program's window has no app id; its class stands in for it,
        // as in the window lists of other protocols.
        const std::string appId =
            node.value(u"app_id").isString()
                ? text(node.value(u"app_id"))
                : text(node.value(u"window_properties").toObject().value(u"class"));
        windows.push_back({static_cast<std::int64_t>(node.value(u"id").toDouble()), appId,
                           text(node.value(u"name")), outerRectOf(node), where.floating,
                           where.hidden});
    }
    for (const QJsonValue child : node.value(u"nodes").toArray()) {
        collectWindows(child.toObject(), where, windows, depth + 1);
    }
    for (const QJsonValue child : node.value(u"floating_nodes").toArray()) {
        collectWindows(child.toObject(), {true, where.hidden}, windows, depth + 1);
    }
}

Result failure(const std::string& what) {
    return Result::failure("sway IPC: " + what);
}

Result systemFailure(const std::string& what) {
    return failure(what + ": " + std::strerror(errno));
}

}  // namespace

std::string encodeSwayFrame(std::uint32_t type, std::string_view payload) {
    std::string frame(kMagic);
    appendWord(frame, static_cast<std::uint32_t>(payload.size()));
    appendWord(frame, type);
    frame.append(payload);
    return frame;
}

SwayFrameRead takeSwayFrame(std::string_view buffer, std::size_t limit) {
    using Status = SwayFrameRead::Status;
    const auto only = [](Status status) { return SwayFrameRead{status, {}, 0}; };
    const std::size_t magicSeen = std::min(buffer.size(), kMagic.size());
    if (buffer.substr(0, magicSeen) != kMagic.substr(0, magicSeen)) return only(Status::Malformed);
    if (buffer.size() < kHeaderSize) return only(Status::Incomplete);
    const std::uint32_t length = readWord(buffer, kMagic.size());
    if (length > limit) return only(Status::Malformed);
    if (buffer.size() - kHeaderSize < length) return only(Status::Incomplete);
    return {Status::Complete,
            {readWord(buffer, kMagic.size() + sizeof length),
             std::string(buffer.substr(kHeaderSize, length))},
            kHeaderSize + length};
}

Result parseCommandReply(std::string_view json) {
    const auto document = parseJson(json);
    if (!document || !document->isArray() || document->array().isEmpty()) {
        return failure("the reply to a command is no list of outcomes");
    }
    for (const QJsonValue outcome : document->array()) {
        const QJsonObject object = outcome.toObject();
        if (!object.value(u"success").toBool()) {
            const std::string error = text(object.value(u"error"));
            return failure(error.empty() ? "a command failed" : error);
        }
    }
    return Result::success();
}

Expected<std::vector<SwayWindow>> parseTree(std::string_view json) {
    const auto document = parseJson(json);
    if (!document || !document->isObject()) return failure("the window tree is no JSON object");
    std::vector<SwayWindow> windows;
    collectWindows(document->object(), {}, windows, 0);
    return windows;
}

std::vector<std::optional<std::size_t>> pairWithSwayWindows(
    const std::vector<WindowName>& names, const std::vector<SwayWindow>& windows) {
    std::vector<std::size_t> byAge(windows.size());
    std::iota(byAge.begin(), byAge.end(), std::size_t{0});
    std::sort(byAge.begin(), byAge.end(),
              [&](std::size_t a, std::size_t b) { return windows[a].id < windows[b].id; });
    std::vector<bool> taken(windows.size(), false);
    std::vector<std::optional<std::size_t>> pairs;
    pairs.reserve(names.size());
    for (const WindowName& name : names) {
        std::optional<std::size_t> found;
        for (std::size_t index : byAge) {
            if (!taken[index] && windows[index].appId == name.appId &&
                windows[index].title == name.title) {
                taken[index] = true;
                found = index;
                break;
            }
        }
        pairs.push_back(found);
    }
    return pairs;
}

std::optional<std::int32_t> parseBindingEvent(std::string_view json, std::string_view tag) {
    const auto document = parseJson(json);
    if (!document) return std::nullopt;
    const QJsonObject event = document->object();
    if (event.value(u"change").toString() != u"run") return std::nullopt;
    const std::string command = text(event.value(u"binding").toObject().value(u"command"));
    const std::string prefix = "nop " + std::string(tag) + " ";
    if (command.rfind(prefix, 0) != 0) return std::nullopt;
    const auto number = parsePlusDigits(std::string_view(command).substr(prefix.size()));
    if (!number || *number > static_cast<std::uint64_t>(INT32_MAX)) return std::nullopt;
    return static_cast<std::int32_t>(*number);
}

namespace {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < line.size()) {
        const auto start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        const auto end = std::min(line.find_first_of(" \t", start), line.size());
        out.emplace_back(line.substr(start, end - start));
        at = end;
    }
    return out;
}

// Puts in the values of the "set $name value" lines seen so far, longest names first.
std::string withVariables(std::string line,
                          const std::vector<std::pair<std::string, std::string>>& variables) {
    for (const auto& [name, value] : variables) {
        for (auto at = line.find(name); at != std::string::npos;
             at = line.find(name, at + value.size())) {
            line.replace(at, name.size(), value);
        }
    }
    return line;
}

// The combination of "bindsym [--flags] combo command" (or, inside a
// bindsym block, of "combo command"); nothing for any other line.
std::optional<std::string> boundCombo(const std::vector<std::string>& parts, bool inBlock) {
    std::size_t at = inBlock ? 0 : 1;
    if (!inBlock && (parts.empty() || parts.front() != "bindsym")) return std::nullopt;
    while (at < parts.size() && parts[at].rfind("--", 0) == 0) ++at;
    if (at + 1 >= parts.size() || parts[at] == "{") return std::nullopt;
    return normalizedCombo(parts[at]);
}

}  // namespace

std::string normalizedCombo(std::string_view combo) {
    constexpr std::pair<const char*, const char*> kAliases[] = {
        {"control", "Ctrl"}, {"ctrl", "Ctrl"}, {"alt", "Mod1"},    {"mod1", "Mod1"},
        {"super", "Mod4"},   {"mod4", "Mod4"}, {"shift", "Shift"}, {"lock", "Lock"},
        {"mod2", "Mod2"},    {"mod3", "Mod3"}, {"mod5", "Mod5"}};
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        const auto plus = combo.find('+', at);
        parts.emplace_back(combo.substr(at, plus == std::string_view::npos ? plus : plus - at));
        if (plus == std::string_view::npos) break;
        at = plus + 1;
    }
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    std::vector<std::string> modifiers;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::string name = lower(parts[i]);
        const auto alias = std::find_if(std::begin(kAliases), std::end(kAliases),
                                        [&](const auto& a) { return name == a.first; });
        modifiers.push_back(alias != std::end(kAliases) ? alias->second : parts[i]);
    }
    std::sort(modifiers.begin(), modifiers.end());
    std::string normal;
    for (const std::string& modifier : modifiers) normal += modifier + "+";
    return normal + lower(parts.back());
}

std::vector<std::string> configuredCombos(std::string_view config) {
    std::vector<std::pair<std::string, std::string>> variables;
    std::vector<std::string> combos;
    int modeDepth = 0;  // inside a mode's block, whose bindings are not the default mode's
    bool inBindBlock = false;
    std::size_t start = 0;
    while (start <= config.size()) {
        const auto end = std::min(config.find('\n', start), config.size());
        const std::string line = trimmed(config.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        // A variable's own name is not put in: "set $modifier" after "set $mod".
        const std::vector<std::string> raw = words(line);
        if (raw.front() == "set" && raw.size() >= 3 && raw[1].front() == '$') {
            variables.emplace_back(raw[1], withVariables(raw[2], variables));
            std::sort(variables.begin(), variables.end(),
                      [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
            continue;
        }
        const std::vector<std::string> parts = words(withVariables(line, variables));
        if (parts.front() == "}") {
            if (inBindBlock) {
                inBindBlock = false;
            } else if (modeDepth > 0) {
                --modeDepth;
            }
            continue;
        }
        if (parts.front() == "mode" && parts.back() == "{") {
            ++modeDepth;
            continue;
        }
        if (parts.front() == "bindsym" && parts.back() == "{") {
            inBindBlock = true;
            continue;
        }
        if (modeDepth > 0) continue;
        if (const auto combo = boundCombo(parts, inBindBlock)) combos.push_back(*combo);
    }
    return combos;
}

bool isReloadEvent(std::string_view json) {
    const auto document = parseJson(json);
    return document && document->object().value(u"change").toString() == u"reload";
}

Expected<SwayIpc> SwayIpc::connect(const std::string& socketPath) {
    std::string path = socketPath;
    if (path.empty()) {
        const char* fromEnvironment = std::getenv("SWAYSOCK");
        if (fromEnvironment == nullptr || *fromEnvironment == '\0') {
            return failure("SWAYSOCK is not set: the compositor is not sway");
        }
        path = fromEnvironment;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return failure("the socket path is too long");
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return systemFailure("socket");
    SwayIpc ipc(fd, path);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return systemFailure("cannot connect to " + path);
    }
    return ipc;
}

SwayIpc::SwayIpc(SwayIpc&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      buffer_(std::move(other.buffer_)),
      events_(std::move(other.events_)) {}

SwayIpc& SwayIpc::operator=(SwayIpc&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        buffer_ = std::move(other.buffer_);
        events_ = std::move(other.events_);
    }
    return *this;
}

SwayIpc::~SwayIpc() {
    if (fd_ >= 0) ::close(fd_);
}

Result SwayIpc::send(std::uint32_t type, std::string_view payload) {
    const std::string frame = encodeSwayFrame(type, payload);
    for (std::size_t sent = 0; sent < frame.size();) {
        const ssize_t written = ::send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return systemFailure("write");
        sent += static_cast<std::size_t>(written);
    }
    return Result::success();
}

Result SwayIpc::fill(std::chrono::milliseconds wait) {
    if (fd_ < 0) return failure("sway closed the connection");
    pollfd readable{fd_, POLLIN, 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(wait.count()));
    if (ready < 0 && errno == EINTR) return Result::success();
    if (ready < 0) return systemFailure("poll");
    if (ready == 0) return failure("sway did not answer in time");
    char chunk[65536];
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got == 0) {
        // Nothing more will come: the socket stays readable for ever.
        ::close(std::exchange(fd_, -1));
        return failure("sway closed the connection");
    }
    if (got < 0) {
        return errno == EAGAIN || errno == EINTR ? Result::success() : systemFailure("read");
    }
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return Result::success();
}

Expected<SwayFrame> SwayIpc::nextFrame() {
    const auto deadline = std::chrono::steady_clock::now() + kSwayReplyTime;
    for (;;) {
        SwayFrameRead read = takeSwayFrame(buffer_);
        if (read.status == SwayFrameRead::Status::Malformed) {
            return failure("the compositor sent something that is no IPC message");
        }
        if (read.status == SwayFrameRead::Status::Complete) {
            buffer_.erase(0, read.consumed);
            return std::move(read.frame);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return failure("sway did not answer in time");
        if (Result filled = fill(left); !filled) return filled;
    }
}

Expected<std::string> SwayIpc::request(SwayMessage type, std::string_view payload) {
    if (fd_ < 0) return failure("not connected");
    if (Result sent = send(static_cast<std::uint32_t>(type), payload); !sent) return sent;
    for (;;) {
        Expected<SwayFrame> frame = nextFrame();
        if (!frame) return frame.status();
        // On a subscribed connection events come between a request and its reply.
        if ((frame->type & kSwayEventBit) != 0) {
            events_.push_back(std::move(*frame));
            continue;
        }
        if (frame->type != static_cast<std::uint32_t>(type)) {
            return failure("the reply does not answer the request");
        }
        return std::move(frame->payload);
    }
}

Result SwayIpc::runCommand(std::string_view command) {
    Expected<std::string> reply = request(SwayMessage::RunCommand, command);
    return reply ? parseCommandReply(*reply) : reply.status();
}

Expected<std::vector<SwayWindow>> SwayIpc::windows() {
    Expected<std::string> reply = request(SwayMessage::GetTree, {});
    if (!reply) return reply.status();
    return parseTree(*reply);
}

Expected<std::string> SwayIpc::config() {
    Expected<std::string> reply = request(SwayMessage::GetConfig, {});
    if (!reply) return reply.status();
    const auto document = parseJson(*reply);
    if (!document || !document->object().value(u"config").isString()) {
        return failure("the reply gives no configuration");
    }
    return text(document->object().value(u"config"));
}

Result SwayIpc::subscribeToBindings() {
    Expected<std::string> reply = request(SwayMessage::Subscribe, R"(["binding","workspace"])");
    if (!reply) return reply.status();
    const auto document = parseJson(*reply);
    if (!document || !document->object().value(u"success").toBool()) {
        return failure("sway refused to report key bindings");
    }
    return Result::success();
}

std::optional<SwayFrame> SwayIpc::nextEvent() {
    if (!events_.empty()) {
        SwayFrame event = std::move(events_.front());
        events_.erase(events_.begin());
        return event;
    }
    for (;;) {
        SwayFrameRead read = takeSwayFrame(buffer_);
        if (read.status == SwayFrameRead::Status::Complete) {
            buffer_.erase(0, read.consumed);
            return std::move(read.frame);
        }
        if (read.status == SwayFrameRead::Status::Malformed) {
            buffer_.clear();
            return std::nullopt;
        }
        const std::size_t before = buffer_.size();
        if (!fill(std::chrono::milliseconds(0)) || buffer_.size() == before) return std::nullopt;
    }
}

}  // namespace ks::wayland
