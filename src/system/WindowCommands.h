#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/CommandFamily.h"
#include "core/Messages.h"
#include "platform/Clock.h"
#include "platform/WindowControl.h"
#include "runner/RunControl.h"

namespace ks {

// The commands that act on other programs' windows by title: WAIT FOR
// WINDOW, MOVE WINDOW, SIZE WINDOW and SHOW WINDOW. Titles and patterns are
// upper-cased before they are matched, so that case does not count.
class WindowCommands final : public CommandFamily {
public:
    WindowCommands(Messages& messages, RunControl& run, Clock& clock, WindowControl& windows);

    std::span<const CommandId> ids() const override;
    // Failed only when WAIT FOR WINDOW fails, which ends the run.
    CommandResult run(std::uint32_t id, CommandContext& command) override;

private:
    CommandResult waitForWindow(CommandContext& command);
    void moveWindow(CommandContext& command);
    void sizeWindow(CommandContext& command);
    void showWindow(CommandContext& command);

    // Gives every matching window of the full list the outer rectangle
    // `place` makes of its normal one, if it is in the normal state.
    template <typename Place>
    void placeWindows(const std::string& pattern, Place place);
    // The windows of `list` whose title matches the upper-case `pattern`.
    static std::vector<WindowId> matching(const std::vector<TopLevelWindow>& list,
                                          const std::string& pattern);

    void showError(const std::string& text, const char* title);

    Messages& messages_;
    RunControl& run_;
    Clock& clock_;
    WindowControl& windows_;
};

}  // namespace ks
