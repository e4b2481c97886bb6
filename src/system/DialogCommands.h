#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/CommandFamily.h"
#include "core/Messages.h"
#include "expand/VariableTable.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "runner/RunControl.h"

namespace ks {

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// MESSAGE BOX and PROMPT USER: the two dialogs a macro shows. Both wait for
// the user while the program's events keep flowing, and both close as soon
// as the run they belong to ends, so that a later run never waits behind an
// old dialog.
class DialogCommands final : public CommandFamily {
public:
    struct Services {
        Messages& messages;
        VariableTable& variables;
        RunControl& run;
        Clock& clock;
        Dialogs& dialogs;
        // Asks the runner to stop the run and tell the user.
        std::function<void()> postStopRun;
    };

    explicit DialogCommands(Services services) : s_(std::move(services)) {}

    std::span<const CommandId> ids() const override;
    CommandResult run(std::uint32_t id, CommandContext& command) override;

private:
    void messageBox(CommandContext& command);
    void promptUser(CommandContext& command);
    // Lets events through until `state` is no longer Open or the run ends.
    void waitWhileOpen(const std::function<DialogState()>& state);

    Services s_;
};

inline constexpr std::size_t kMaxPrompts = 150;

// What a prompt's coordinate or size that fails its check shows.
inline constexpr const char* kBadPromptX =
    "Text Box X Coord must be a integer greater than or equal 0.";
inline constexpr const char* kBadPromptY =
    "Text Box Y Coord must be a integer greater than or equal 0.";
inline constexpr const char* kBadPromptWidth = "Text Box Width must be a integer greater than 0.";
inline constexpr const char* kBadPromptHeight = "Text Box Height must be a integer greater than 0.";

// One prompt of PROMPT USER: its text box and the variable its text goes to.
struct PromptEntry {
    PromptField field;
    std::string variable;
};

// One value of a prompt by name; nothing when it is missing.
using PromptValue = std::function<std::optional<std::string>(const char* name)>;

// One prompt from its values Caption, X, Y, Width, Height, VName and
// MultiLine: nothing when one is missing. A coordinate or size that fails
// its check is reported and its leading number used anyway.
std::optional<PromptEntry> readPrompt(const PromptValue& value, Messages& messages);

// The window that asks for `prompts` on `screen`, the focus in the field
// promptFocus picks. Each field's rectangle is clamped to the screen, so that
// sums of its coordinates and sizes cannot overflow.
PromptForm promptForm(std::optional<std::string> title, const std::vector<PromptEntry>& prompts,
                      ScreenSize screen);

// The prompts of the command: those of its sub-keys 0, 1, … up to the first
// with a value that cannot be read, at most kMaxPrompts, each value expanded.
std::vector<PromptEntry> readPrompts(CommandContext& command, Messages& messages);

// Whether MESSAGE BOX of `type` stops the run once its box is in `closing`:
// only the Continue and Abort box (type 1) does, when closed by Abort,
// Escape or its close button.
bool boxStopsRun(std::uint32_t type, DialogState closing);

// Where a box of `box` size goes on `screen` for MESSAGE BOX's positions
// 1 to 9 (top left, top centre, … bottom right); nothing for any other value.
std::optional<ScreenPoint> messageBoxPlace(std::uint32_t position, ScreenSize box,
                                           ScreenSize screen);

// The field that gets the focus: the one with the smallest X and, among
// those, the smallest Y; the earliest on a full tie.
std::size_t promptFocus(const std::vector<PromptField>& fields);

}  // namespace ks
