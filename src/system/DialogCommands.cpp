#include "system/DialogCommands.h"

#include <algorithm>
#include <array>

#include "system/ConditionWait.h"
#include "system/DecimalText.h"

namespace ks {

namespace {

PromptField clampedTo(PromptField field, ScreenSize screen) {
    field.x = std::clamp(field.x, 0, std::max(screen.width, 0));
    field.y = std::clamp(field.y, 0, std::max(screen.height, 0));
    field.width = std::clamp(field.width, 0, std::max(screen.width, 0) - field.x);
    field.height = std::clamp(field.height, 0, std::max(screen.height, 0) - field.y);
    return field;
}

constexpr std::array kIds{kMessageBox, kPromptUser};

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
    return std::equal(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
        return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b;
    });
}

// A number as the prompt checks want it: at least 0, or above 0.
bool acceptsDimension(std::string_view text, bool zeroAllowed) {
    if (!isDecimalNumber(text)) return false;
    const bool negative = text.front() == '-';
    const bool nonZero = text.find_first_of("123456789") != std::string_view::npos;
    return zeroAllowed ? !negative || !nonZero : !negative && nonZero;
}

}  // namespace

std::span<const CommandId> DialogCommands::ids() const {
    return kIds;
}

CommandResult DialogCommands::run(std::uint32_t id, CommandContext& command) {
    if (id == kMessageBox) messageBox(command);
    if (id == kPromptUser) promptUser(command);
    return CommandResult::Next;
}

void DialogCommands::waitWhileOpen(const std::function<DialogState()>& state) {
    waitForCondition(s_.run, s_.clock, s_.messages, WaitLimit{},
                     [&state] { return state() != DialogState::Open; });
}

void DialogCommands::messageBox(CommandContext& command) {
    const auto title = command.text("WindowTitle");
    if (!title) return;
    const auto body = command.text("MessageBody");
    if (!body) return;
    const auto timeout = command.text("TimeOut");
    if (!timeout) return;
    const auto type = command.number("MsgBoxType");
    if (!type) return;
    const auto position = command.number("MsgBoxPos");
    if (!position) return;
    const auto activate = command.number("MsgBoxSetFocus");
    if (!activate) return;
    const auto onTop = command.number("MsgBoxSetForeground");
    if (!onTop) return;

    const std::unique_ptr<MessageBoxWindow> box = s_.dialogs.createMessageBox(
        MessageBoxSpec{*title, *body, *type != 0, *onTop != 0,
                       std::chrono::milliseconds(std::max(leadingInteger(*timeout), 0))});
    if (const auto place = messageBoxPlace(*position, box->size(), s_.dialogs.screenSize())) {
        box->moveTo(place->x, place->y);
    }
    box->show(*activate == 1);
    waitWhileOpen([&box] { return box->state(); });
    if (boxStopsRun(*type, box->state())) s_.postStopRun();
}

// The caption is optional: a missing one is no error.
void DialogCommands::promptUser(CommandContext& command) {
    std::optional<std::string> title = command.quietText("WindowCaption");
    const std::vector<PromptEntry> prompts = readPrompts(command, s_.messages);
    const std::unique_ptr<PromptWindow> window =
        s_.dialogs.showPrompt(promptForm(std::move(title), prompts, s_.dialogs.screenSize()));
    waitWhileOpen([&window] { return window->state(); });
    if (window->state() != DialogState::Accepted) return;
    const std::vector<std::string> texts = window->texts();
    for (std::size_t i = 0; i < prompts.size() && i < texts.size(); ++i) {
        s_.variables.SetVariable(prompts[i].variable, texts[i]);
    }
}

// The list ends at the first value missing, which is no error.
std::vector<PromptEntry> readPrompts(CommandContext& command, Messages& messages) {
    std::vector<PromptEntry> prompts;
    while (prompts.size() < kMaxPrompts) {
        const std::unique_ptr<CommandContext> entry = command.child(std::to_string(prompts.size()));
        auto prompt =
            readPrompt([&](const char* name) { return entry->quietText(name); }, messages);
        if (!prompt) break;
        prompts.push_back(std::move(*prompt));
    }
    return prompts;
}

std::optional<PromptEntry> readPrompt(const PromptValue& value, Messages& messages) {
    const auto dimension = [&](const char* name, bool zeroAllowed,
                               const char* message) -> std::optional<int> {
        const auto text = value(name);
        if (!text) return std::nullopt;
        if (!acceptsDimension(*text, zeroAllowed)) {
            messages.show(message, "Attention", MsgIcon::Information);
        }
        return leadingInteger(*text);
    };
    PromptEntry prompt;
    auto caption = value("Caption");
    if (!caption) return std::nullopt;
    prompt.field.caption = std::move(*caption);
    const auto x = dimension("X", true, kBadPromptX);
    if (!x) return std::nullopt;
    const auto y = dimension("Y", true, kBadPromptY);
    if (!y) return std::nullopt;
    const auto width = dimension("Width", false, kBadPromptWidth);
    if (!width) return std::nullopt;
    const auto height = dimension("Height", false, kBadPromptHeight);
    if (!height) return std::nullopt;
    auto variable = value("VName");
    if (!variable) return std::nullopt;
    const auto multiLine = value("MultiLine");
    if (!multiLine) return std::nullopt;
    prompt.field.x = *x;
    prompt.field.y = *y;
    prompt.field.width = *width;
    prompt.field.height = *height;
    prompt.field.multiLine = equalsIgnoringCase(*multiLine, "YES");
    prompt.variable = std::move(*variable);
    return prompt;
}

PromptForm promptForm(std::optional<std::string> title, const std::vector<PromptEntry>& prompts,
                      ScreenSize screen) {
    PromptForm form{std::move(title), {}, 0};
    for (const PromptEntry& prompt : prompts)
        form.fields.push_back(clampedTo(prompt.field, screen));
    form.focus = promptFocus(form.fields);
    return form;
}

bool boxStopsRun(std::uint32_t type, DialogState closing) {
    return type == 1 && closing == DialogState::Dismissed;
}

std::optional<ScreenPoint> messageBoxPlace(std::uint32_t position, ScreenSize box,
                                           ScreenSize screen) {
    if (position < 1 || position > 9) return std::nullopt;
    // Along each axis: at the start, in the middle of the free space, or at the end.
    const auto along = [](int step, int free) {
        return step == 0 ? 0 : step == 1 ? free / 2 : free;
    };
    const int step = static_cast<int>(position - 1);
    return ScreenPoint{along(step % 3, screen.width - box.width),
                       along(step / 3, screen.height - box.height)};
}

std::size_t promptFocus(const std::vector<PromptField>& fields) {
    const auto first = std::min_element(
        fields.begin(), fields.end(),
        [](const auto& a, const auto& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    return static_cast<std::size_t>(first - fields.begin());
}

}  // namespace ks
