#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/CommandId.h"
#include "core/Messages.h"
#include "expand/Expander.h"
#include "expand/VariableTable.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "runner/RunControl.h"
#include "store/SettingsStore.h"

namespace ks {

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// MESSAGE BOX and PROMPT USER: the two dialogs a macro shows. Both wait for
// the user while the program's events keep flowing, and both close as soon
// as the run they belong to ends, so that a later run never waits behind an
// old dialog.
class DialogCommands {
public:
    struct Services {
        SettingsStore& store;
        Messages& messages;
        Expander& expander;
        VariableTable& variables;
        RunControl& run;
        Clock& clock;
        Dialogs& dialogs;
        // Asks the runner to stop the run and tell the user.
        std::function<void()> postStopRun;
    };

    explicit DialogCommands(Services services) : s_(std::move(services)) {}

    static std::span<const CommandId> ids();
    void run(std::uint32_t id, const std::string& path);

    static constexpr std::size_t kMaxPrompts = 150;

private:
    struct Prompt {
        PromptField field;
        std::string variable;
    };

    void messageBox(const std::string& path);
    void promptUser(const std::string& path);
    std::vector<Prompt> readPrompts(const std::string& path);
    std::optional<Prompt> readPrompt(const std::string& key);
    std::optional<int> readChecked(const std::string& key, const char* name, bool zeroAllowed,
                                   const char* message);
    std::optional<std::string> readExpanded(const std::string& path, const char* name);
    std::optional<std::string> readQuietly(const std::string& key, const char* name);
    // Lets events through until `state` is no longer Open or the run ends.
    void waitWhileOpen(const std::function<DialogState()>& state);

    Services s_;
};

// Where a box of `box` size goes on `screen` for MESSAGE BOX's positions
// 1 to 9 (top left, top centre, … bottom right); nothing for any other value.
std::optional<ScreenPoint> messageBoxPlace(std::uint32_t position, ScreenSize box,
                                           ScreenSize screen);

// The field that gets the focus: the one with the smallest X and, among
// those, the smallest Y; the earliest on a full tie.
std::size_t promptFocus(const std::vector<PromptField>& fields);

// Whether `text` is a number: an optional sign, then digits with at most
// one decimal point among them.
bool isDecimalNumber(std::string_view text);

// The decimal number `text` begins with (after blanks, with an optional
// sign), 0 if it begins with none; held within the range of int.
int leadingInteger(std::string_view text);

}  // namespace ks
