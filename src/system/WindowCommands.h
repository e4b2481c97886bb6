#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/CommandDispatch.h"
#include "core/CommandId.h"
#include "core/Messages.h"
#include "expand/Expander.h"
#include "platform/Clock.h"
#include "platform/WindowControl.h"
#include "runner/RunControl.h"
#include "store/SettingsStore.h"

namespace ks {

// The commands that act on other programs' windows by title: WAIT FOR
// WINDOW, MOVE WINDOW, SIZE WINDOW and SHOW WINDOW. Titles and patterns are
// upper-cased before they are matched, so that case does not count.
class WindowCommands {
public:
    WindowCommands(SettingsStore& store, Messages& messages, Expander& expander, RunControl& run,
                   Clock& clock, WindowControl& windows);

    static std::span<const CommandId> ids();
    // Failed only when WAIT FOR WINDOW fails, which ends the run.
    CommandResult run(std::uint32_t id, std::string_view path);

private:
    CommandResult waitForWindow(std::string_view path);
    void moveWindow(std::string_view path);
    void sizeWindow(std::string_view path);
    void showWindow(std::string_view path);

    // Gives every matching window of the full list the outer rectangle
    // `place` makes of its normal one, if it is in the normal state.
    template <typename Place>
    void placeWindows(const std::string& pattern, Place place);
    // The windows of `list` whose title matches the upper-case `pattern`.
    static std::vector<WindowId> matching(const std::vector<TopLevelWindow>& list,
                                          const std::string& pattern);

    std::optional<std::string> readExpanded(std::string_view path, const char* valueName);
    std::optional<std::uint32_t> readNumber(std::string_view path, const char* valueName);
    void showError(const std::string& text, const char* title);

    SettingsStore& store_;
    Messages& messages_;
    Expander& expander_;
    RunControl& run_;
    Clock& clock_;
    WindowControl& windows_;
};

}  // namespace ks
