#include "text/TextCommands.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <memory>
#include <new>

#include "core/Utf8.h"
#include "text/TextRules.h"

namespace ks {

namespace {

constexpr const char* kTitle = "Keystrider";
// The clipboard's answer ends a wait at once; this only bounds a wait that
// a later run's answer woke instead.
constexpr std::chrono::milliseconds kLongestClipboardLook{1000};

constexpr std::array kIds{
    kCopyFromClipBoard, kPasteToClipBoard,   kParseClipBoard,      kSetVariable,    kMakeUpperCase,
    kMakeLowerCase,     kLeftTrimWhiteSpace, kRightTrimWhiteSpace, kTrimWhiteSpace, kReplaceString};

bool isCopied(std::uint32_t format) {
    return format == kClipboardText || format == kClipboardBitmap;
}

// The format COPY keeps: the first text or bitmap on offer, else the first
// format of any other kind, so that data of every kind can be pasted back.
std::optional<std::uint32_t> formatToCopy(const std::vector<std::uint32_t>& formats) {
    for (std::uint32_t format : formats) {
        if (isCopied(format)) return format;
    }
    if (formats.empty()) return std::nullopt;
    return formats.front();
}

std::optional<std::uint32_t> textOnly(const std::vector<std::uint32_t>& formats) {
    const bool offered = std::find(formats.begin(), formats.end(), kClipboardText) != formats.end();
    return offered ? std::optional<std::uint32_t>(kClipboardText) : std::nullopt;
}

// The bytes PASTE offers: a text's up to its terminating zero.
Bytes pasteBytes(const Variable& entry) {
    auto end = entry.data.end();
    if (entry.format == kClipboardText) end = std::find(entry.data.begin(), end, 0);
    return Bytes(entry.data.begin(), end);
}

}  // namespace

TextCommands::TextCommands(Messages& messages, ExpansionEngine& expansion, VariableTable& variables,
                           Clipboard& clipboard, RunControl& run)
    : messages_(messages),
      expansion_(expansion),
      variables_(variables),
      clipboard_(clipboard),
      run_(run) {}

std::span<const CommandId> TextCommands::ids() const {
    return kIds;
}

CommandResult TextCommands::run(std::uint32_t id, CommandContext& command) {
    switch (id) {
        case kCopyFromClipBoard: copyFromClipboard(command); break;
        case kPasteToClipBoard: pasteToClipboard(command); break;
        case kParseClipBoard: parseClipboard(command); break;
        case kSetVariable: setVariable(command); break;
        case kMakeUpperCase: transformVariable(command, utf8::upper); break;
        case kMakeLowerCase: transformVariable(command, utf8::lower); break;
        case kLeftTrimWhiteSpace: transformVariable(command, trimLeft); break;
        case kRightTrimWhiteSpace: transformVariable(command, trimRight); break;
        case kTrimWhiteSpace: transformVariable(command, trim); break;
        case kReplaceString: replaceString(command); break;
        default: break;
    }
    return CommandResult::Next;
}

void TextCommands::showRetrieveError() {
    messages_.show("Error retrieving data from Clip Board!", kTitle, MsgIcon::Exclamation);
}

std::optional<std::optional<ClipboardContent>> TextCommands::readClipboard(
    const ClipboardChoice& choose) {
    const std::unique_ptr<ClipboardRead> read =
        clipboard_.read(choose, [this] { run_.wakeWait(); });
    while (read->state() == ClipboardRead::State::Waiting) {
        if (!run_.waitWhileRunning(kLongestClipboardLook)) return std::nullopt;
    }
    if (read->state() == ClipboardRead::State::Failed) {
        showRetrieveError();
        return std::nullopt;
    }
    return read->content();
}

void TextCommands::copyFromClipboard(CommandContext& command) {
    const auto name = command.text("BufName");
    if (!name) return;
    std::optional<std::optional<ClipboardContent>> read = readClipboard(formatToCopy);
    if (!read) return;
    const std::size_t index = variables_.findOrAppend(*name);
    std::optional<ClipboardContent>& content = *read;
    if (!content) return;
    Bytes& bytes = content->bytes;
    // Text variables keep the terminating zero that text references stop at.
    if (content->format == kClipboardText) bytes.push_back(0);
    variables_.replaceData(index, bytes.data(), bytes.size(), content->format);
}

std::size_t TextCommands::pasteEntry(CommandContext& command, std::string_view name) {
    if (const auto index = variables_.find(name)) return *index;
    variables_.SetVariable(name, command.storedText("DefPasteString").value_or(""));
    return *variables_.find(name);
}

void TextCommands::pasteToClipboard(CommandContext& command) {
    const auto name = command.text("BufName");
    if (!name) return;
    if (!clipboard_.clear()) {
        messages_.show("Error removing previous contents of Clip Board!", kTitle,
                       MsgIcon::Exclamation);
        return;
    }
    const Variable& entry = variables_.at(pasteEntry(command, *name));
    if (entry.data.empty()) return;
    Bytes bytes;
    try {
        bytes = pasteBytes(entry);
    } catch (const std::bad_alloc&) {
        messages_.show("Error allocating memory!", kTitle, MsgIcon::Exclamation);
        return;
    }
    if (!clipboard_.offer(entry.format, bytes)) {
        messages_.show("Error copying data to Clip Board!", "Keystrider - Error", MsgIcon::Stop);
    }
}

void TextCommands::parseClipboard(CommandContext& command) {
    const auto delimiter = command.text("Delimiter");
    if (!delimiter) return;
    const std::optional<std::optional<ClipboardContent>> read = readClipboard(textOnly);
    if (!read) return;
    if (!*read) return showRetrieveError();
    const Bytes& bytes = (*read)->bytes;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::array<char, 16> name{};
    std::uint32_t number = 0;
    for (std::string_view piece : splitPieces(text, *delimiter)) {
        const auto end = std::to_chars(name.data(), name.data() + name.size(), number++).ptr;
        variables_.SetVariable(std::string_view(name.data(), end - name.data()), piece);
    }
}

void TextCommands::setVariable(CommandContext& command) {
    const auto name = command.text("Name");
    if (!name) return;
    const auto value = command.text("Value");
    if (!value) return;
    variables_.SetVariable(*name, *value);
}

template <typename Transform>
void TextCommands::transformVariable(CommandContext& command, Transform transform) {
    const auto name = command.text("VarName");
    if (!name) return;
    const std::string value = expansion_.LookupValue(*name);
    variables_.SetVariable(*name, transform(value));
}

void TextCommands::replaceString(CommandContext& command) {
    const auto name = command.text("VarName");
    if (!name) return;
    const auto with = command.text("ReplaceWith");
    if (!with) return;
    const auto search = command.text("SearchFor");
    if (!search) return;
    const std::string value = expansion_.LookupValue(*name);
    variables_.SetVariable(*name, replaceAll(value, *search, *with));
}

}  // namespace ks
