#include "system/WindowCommands.h"

#include <algorithm>
#include <array>
#include <limits>

#include "core/PlusDigits.h"
#include "core/Utf8.h"
#include "system/ConditionWait.h"
#include "system/DecimalText.h"
#include "system/Wildcard.h"
#include "system/WindowAttach.h"

namespace ks {

namespace {

constexpr std::array kIds{kWaitForWindow, kMoveWindow, kSizeWindow, kShowWindow};

constexpr const char* kErrorTitle = "Keystrider - Error";

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

std::optional<int> parseSize(std::string_view text) {
    const auto value = parsePlusDigits(text);
    if (!value) return std::nullopt;
    return static_cast<int>(std::min<std::uint64_t>(*value, std::numeric_limits<int>::max()));
}

ScreenRect rectAt(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height) {
    return {clampToInt(left), clampToInt(top), clampToInt(left + width), clampToInt(top + height)};
}

}  // namespace

WindowCommands::WindowCommands(Messages& messages, RunControl& run, Clock& clock,
                               WindowControl& windows)
    : messages_(messages), run_(run), clock_(clock), windows_(windows) {}

std::span<const CommandId> WindowCommands::ids() const {
    return kIds;
}

CommandResult WindowCommands::run(std::uint32_t id, CommandContext& command) {
    switch (id) {
        case kWaitForWindow: return waitForWindow(command);
        case kMoveWindow: moveWindow(command); break;
        case kSizeWindow: sizeWindow(command); break;
        case kShowWindow: showWindow(command); break;
        default: break;
    }
    return CommandResult::Next;
}

void WindowCommands::showError(const std::string& text, const char* title) {
    messages_.show(text, title, MsgIcon::Stop);
}

std::vector<WindowId> WindowCommands::matching(const std::vector<TopLevelWindow>& list,
                                               const std::string& pattern) {
    std::vector<WindowId> found;
    for (const TopLevelWindow& window : list) {
        if (MatchWildcard(utf8::upper(window.title), pattern)) found.push_back(window.id);
    }
    return found;
}

CommandResult WindowCommands::waitForWindow(CommandContext& command) {
    const auto name = command.text("WaitWindowName");
    if (!name) return CommandResult::Next;
    const auto timeoutText = command.text("WaitWindowTimeOut");
    if (!timeoutText) return CommandResult::Next;
    const auto timeout = waitSeconds(*timeoutText, "WAIT FOR WINDOW", messages_);
    if (!timeout) return CommandResult::Failed;
    const auto countText = command.text("NumWins");
    if (!countText) return CommandResult::Next;
    const auto wanted = parsePlusDigits(*countText);
    if (!wanted || *wanted == 0) {
        showError(
            "Invalid parameter for number of windows to wait for in \"WAIT FOR WINDOW\".\n\n"
            "Number must be greater than 0.",
            "Error");
        return CommandResult::Failed;
    }
    const auto forOpen = command.number("WaitForOpen");
    if (!forOpen) return CommandResult::Next;
    const auto abortOnFail = command.number("AbortOnFail");
    if (!abortOnFail) return CommandResult::Next;

    const std::string pattern = utf8::upper(*name);
    // Closing counts every drop of the matching windows between two looks;
    // the wait ends when the drops add up to the number exactly.
    std::size_t previous = 0;
    std::uint64_t closed = 0;
    const auto met = [&] {
        const std::size_t count = matching(windows_.topLevelWindows(), pattern).size();
        if (*forOpen != 0) return count >= *wanted;
        if (count < previous) closed += previous - count;
        previous = count;
        return closed == *wanted;
    };
    const WaitLimit limit = commandWaitLimit("WAIT FOR WINDOW", *timeout, pattern);
    const auto watch = windows_.watchTopLevelWindows();
    return afterWait(waitForCondition(run_, clock_, messages_, limit, met), *abortOnFail);
}

template <typename Place>
void WindowCommands::placeWindows(const std::string& pattern, Place place) {
    if (const Result placeable = windows_.placeable(); !placeable) {
        return showError(placeable.error(), kErrorTitle);
    }
    bool placed = false;
    for (WindowId window : matching(windows_.allTopLevelWindows(), pattern)) {
        if (!AttachToWindowThread(windows_, messages_, window)) continue;
        const auto placement = windows_.placement(window);
        if (placement && placement->state == WindowState::Normal &&
            windows_.moveResize(window, place(placement->normal))) {
            placed = true;
        }
        windows_.detachInput(window);
    }
    if (!placed) showError("Window not found: " + pattern, kErrorTitle);
}

void WindowCommands::moveWindow(CommandContext& command) {
    const auto name = command.text("WindowName");
    if (!name) return;
    const auto leftText = command.text("LeftCoord");
    if (!leftText) return;
    const auto topText = command.text("TopCoord");
    if (!topText) return;
    if (!isDecimalNumber(*leftText)) {
        return showError("Left Coordinate: parameter must be an integer.", kErrorTitle);
    }
    if (!isDecimalNumber(*topText)) {
        return showError("Top Coordinate: parameter must be an integer.", kErrorTitle);
    }
    const int left = leadingInteger(*leftText);
    const int top = leadingInteger(*topText);
    placeWindows(utf8::upper(*name), [&](const ScreenRect& normal) {
        return rectAt(left, top, std::int64_t{normal.right} - normal.left,
                      std::int64_t{normal.bottom} - normal.top);
    });
}

void WindowCommands::sizeWindow(CommandContext& command) {
    const auto name = command.text("WindowName");
    if (!name) return;
    const auto widthText = command.text("Width");
    if (!widthText) return;
    const auto heightText = command.text("Height");
    if (!heightText) return;
    const auto width = parseSize(*widthText);
    if (!width) return showError("Width: parameter must be a positive integer.", kErrorTitle);
    const auto height = parseSize(*heightText);
    if (!height) return showError("Height: parameter must be a positive integer.", kErrorTitle);
    placeWindows(utf8::upper(*name), [&](const ScreenRect& normal) {
        return rectAt(normal.left, normal.top, *width, *height);
    });
}

void WindowCommands::showWindow(CommandContext& command) {
    const auto name = command.text("WindowName");
    if (!name) return;
    const auto style = command.number("Style");
    if (!style) return;
    const std::string pattern = utf8::upper(*name);
    const auto found = matching(windows_.allTopLevelWindows(), pattern);
    for (WindowId window : found) {
        if (!AttachToWindowThread(windows_, messages_, window)) continue;
        windows_.show(window, static_cast<ShowCommand>(*style));
        windows_.detachInput(window);
    }
    if (found.empty()) showError("Window not found: " + pattern, kErrorTitle);
}

}  // namespace ks
