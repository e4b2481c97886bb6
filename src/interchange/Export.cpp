#include <filesystem>
#include <map>
#include <span>

#include "core/Messages.h"
#include "core/Utf8.h"
#include "interchange/Interchange.h"
#include "interchange/ValueTable.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

constexpr std::int32_t kAcceptedReply = 1004;
constexpr std::size_t kExportPieceLimit = 17000;

// The value as the document writes it: a text as stored, a number in signed
// decimal, so that a stored -1 reads as -1 to a person and to any reader.
std::optional<std::string> documentText(const StoredValue& value) {
    if (value.type == kTypeDword) {
        const auto number = dwordFromBytes(value.data);
        if (!number) return std::nullopt;
        return std::to_string(static_cast<std::int32_t>(*number));
    }
    if (value.type == kTypeText) return textFromBytes(value.data);
    return std::nullopt;
}

// A key's values by upper-cased name: read in one pass, looked up by name.
class KeyValues {
public:
    KeyValues(KeyTree& tree, const std::string& path) {
        Expected<std::vector<StoredValue>> values = tree.values(path);
        if (!values) return;
        for (StoredValue& value : *values) {
            std::string folded = utf8::upper(value.name);
            byName_.emplace(std::move(folded), std::move(value));
        }
    }
    const StoredValue* find(std::string_view name) const {
        const auto found = byName_.find(utf8::upper(name));
        return found == byName_.end() ? nullptr : &found->second;
    }
    std::optional<std::string> text(std::string_view name) const {
        const StoredValue* value = find(name);
        return value == nullptr ? std::nullopt : documentText(*value);
    }
    void appendTo(XmlElement& element, std::string_view name) const {
        if (auto value = text(name)) element.append(std::string(name), std::move(*value));
    }
    void appendTo(XmlElement& element, std::span<const ValueSpec> specs) const {
        for (const ValueSpec& spec : specs) appendTo(element, spec.name);
    }

private:
    std::map<std::string, StoredValue> byName_;
};

std::string insName(std::uint32_t index) {
    return "INS" + std::to_string(index);
}

void appendNested(KeyTree& tree, const std::string& commandPath, const CommandValueSet& set,
                  XmlElement& command) {
    const char* first = set.nested.empty() ? nullptr : set.nested.front().name;
    for (std::uint32_t k = 0; first != nullptr && k < set.nestedLimit; ++k) {
        const KeyValues part(tree, commandPath + "\\" + std::to_string(k));
        if (part.find(first) == nullptr) break;
        part.appendTo(command.append(insName(k)), set.nested);
    }
}

void appendCommands(KeyTree& tree, const MacroKey& macro, XmlElement& element) {
    const std::string commandsPath = macro.key().child("Commands").treePath();
    if (!tree.keyExists(commandsPath)) return;
    XmlElement& commands = element.append("COMMANDS");
    for (std::int32_t n = 0;; ++n) {
        const std::string path = macro.command(n).key().treePath();
        const KeyValues values(tree, path);
        const StoredValue* id = values.find("id");
        const auto number = id == nullptr ? std::nullopt : dwordFromBytes(id->data);
        if (!number) return;
        XmlElement& command = commands.append(insName(static_cast<std::uint32_t>(n)));
        values.appendTo(command, "id");
        const CommandValueSet set = valuesOfCommand(*number);
        values.appendTo(command, set.values);
        appendNested(tree, path, set, command);
    }
}

void appendSchedule(KeyTree& tree, const MacroKey& macro, XmlElement& element) {
    if (!tree.keyExists(macro.key().child("Schedule").treePath())) return;
    XmlElement& schedule = element.append("SCHEDULE");
    for (std::int32_t n = 0;; ++n) {
        const KeyValues values(tree, macro.schedule(n).treePath());
        if (values.find("Period") == nullptr) return;
        values.appendTo(schedule.append(insName(static_cast<std::uint32_t>(n))), scheduleValues());
    }
}

std::string hexText(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
        text.push_back(' ');
    }
    return text;
}

const char* sectionTag(ExportKind kind) {
    return kind == ExportKind::Macros ? "MACROS" : "RECORDINGS";
}

XmlDocument newDocument() {
    XmlElement root{"KEYSTRIDER", {}, {}, {}};
    root.append("MACROS");
    root.append("RECORDINGS");
    return XmlDocument(std::move(root));
}

void showError(Messages& messages, std::string text) {
    messages.show(std::move(text), "Error", MsgIcon::Stop);
}

// A name goes into an attribute, where a control character cannot be
// written in any form that reads back: such an item is left out, saying so.
bool nameWritable(Messages& messages, ExportKind kind, const std::string& name) {
    if (!needsCharacterMark(name)) return true;
    const char* noun = kind == ExportKind::Macros ? "macro" : "recording";
    messages.show(std::string("The ") + noun + " name: \"" + name +
                      "\" holds a control character, which an XML document cannot hold.\n\nThe " +
                      noun + " is not exported.",
                  "Keystrider - Warning", MsgIcon::Exclamation);
    return false;
}

// The document a file export adds to: a new one, or the existing file's
// when the user chooses to append. Nothing after a failure (shown).
std::optional<XmlDocument> fileDocument(Messages& messages, const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return newDocument();
    const MsgAnswer answer = messages.show(
        "File already exists!\n\nDo you want to overwrite it?\n\nIf you select no then the "
        "macros will\nbe appended to the file.",
        "Attention", MsgIcon::Question, MsgButtons::YesNo);
    if (answer == MsgAnswer::Yes) {
        if (!std::filesystem::remove(path, error)) {
            showError(messages, "Error overwriting existing document.");
            return std::nullopt;
        }
        return newDocument();
    }
    XmlError parseError;
    auto document = XmlDocument::load(path, parseError);
    if (!document) showError(messages, "Error loading XML document.");
    return document;
}

// A recording written as it is read, one piece at a time: a long one is
// never held whole, neither as bytes nor as text.
void writeRecording(XmlWriter& writer, KeyTree& tree, const std::string& name) {
    const std::string path = RecordingKey(name).key().treePath();
    writer.open("RECORDING", {{"Name", name}});
    const auto writeValue = [&](const std::string& element, const std::string& valueName,
                                const auto& textOf) {
        Expected<StoredValue> value = tree.readValue(path, valueName);
        if (!value) return false;
        if (const std::optional<std::string> text = textOf(*value)) {
            writer.open(element);
            writer.text(*text);
            writer.close();
        }
        return true;
    };
    writeValue("Count", "Count", documentText);
    writeValue("Type", "Type", documentText);
    const auto pieceText = [](const StoredValue& value) {
        const std::size_t length = std::min(value.data.size(), kExportPieceLimit);
        return std::optional(hexText(std::span(value.data).first(length)));
    };
    for (std::uint32_t piece = 0;; ++piece) {
        if (!writeValue(insName(piece), std::to_string(piece), pieceText)) break;
    }
    writer.close();
}

// Sends the document to the peer; a reply other than 1004 shows its text.
bool sendToPeer(ExportServices& services, const ExportTarget& target, const std::string& body) {
    if (!services.sendToPeer) return false;
    const auto reply = services.sendToPeer(target.host, target.port, body);
    if (!reply) return false;
    XmlError parseError;
    const auto answer = XmlDocument::parse(*reply, parseError);
    if (!answer) {
        services.messages.show("Error loading DOM Document object.", "Keystrider Error",
                               MsgIcon::Stop);
        return false;
    }
    const auto code = rootId(*answer, services.messages);
    if (!code) return false;
    if (*code == kAcceptedReply) return true;
    if (const auto* desc = answer->root().firstBelow("Desc")) {
        services.messages.show(desc->allText(), "Keystrider Error", MsgIcon::Stop);
    }
    return false;
}

}  // namespace

XmlElement macroElement(SettingsStore& store, const std::string& name) {
    KeyTree& tree = store.tree();
    const MacroKey macro(name);
    XmlElement element{"MACRO", {{"Name", name}}, {}, {}};
    const KeyValues values(tree, macro.key().treePath());
    if (auto phrase = values.text("WPhrase"); phrase && !phrase->empty()) {
        element.append("WPhrase", std::move(*phrase));
    }
    // A `vk` or `MsgID` of 0 means none: a macro without a hot key carries
    // neither `vk` nor its `fsModifiers`, one without a message id no `MsgID`.
    const auto isNone = [&](const char* value) { return values.text(value).value_or("0") == "0"; };
    const bool noHotKey = isNone("vk");
    for (const char* value : {"WPhraseCase", "fsModifiers", "repeat", "vk", "MsgID", "id"}) {
        const std::string_view valueName = value;
        if (noHotKey && (valueName == "vk" || valueName == "fsModifiers")) continue;
        if (valueName == "MsgID" && isNone(value)) continue;
        values.appendTo(element, value);
    }
    appendCommands(tree, macro, element);
    appendSchedule(tree, macro, element);
    return element;
}

bool ExportItems(ExportServices& services, ExportKind kind, const std::vector<std::string>& names,
                 const ExportTarget& target) {
    Messages& messages = services.messages;
    auto document =
        target.remote() ? std::optional(newDocument()) : fileDocument(messages, target.path);
    if (!document) return false;
    document->root().setAttribute("ID", "1003");
    XmlElement* section = firstBelowIgnoringCase(document->root(), sectionTag(kind));
    if (section == nullptr) {
        showError(messages, std::string("Error finding \"") + sectionTag(kind) +
                                "\" tag.  Bad XML document.");
        return false;
    }
    // The items are read while the document is written, so that a long
    // recording goes through a piece at a time. One transaction makes the
    // reads one snapshot, several times faster; it is committed, so that
    // anything written meanwhile stays.
    bool cancelled = false;
    const XmlProducer writeItems = [&](XmlWriter& writer) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            cancelled = services.progress && !services.progress(i, names.size());
            if (cancelled) return false;
            if (!nameWritable(messages, kind, names[i])) continue;
            if (kind == ExportKind::Macros) {
                writer.element(macroElement(services.store, names[i]));
            } else {
                writeRecording(writer, services.store.tree(), names[i]);
            }
        }
        return true;
    };
    KeyTree::Transaction snapshot(services.store.tree());
    if (target.remote()) {
        const Expected<std::string> body = document->serialize(section, writeItems);
        snapshot.commit();
        return body && sendToPeer(services, target, *body);
    }
    const Result saved = document->save(target.path, section, writeItems);
    snapshot.commit();
    if (!saved && !cancelled) {
        showError(messages, "Error writing file to disk: " + target.path);
        return false;
    }
    return saved.ok();
}

}  // namespace ks
