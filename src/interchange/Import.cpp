#include <algorithm>
#include <charconv>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "core/Messages.h"
#include "core/Utf8.h"
#include "interchange/Interchange.h"
#include "interchange/ValueTable.h"
#include "store/OneChange.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"
#include "store/StorePath.h"

namespace ks {

namespace {

constexpr const char* kImportError = "Keystrider - Error";
constexpr const char* kWarning = "Keystrider - Warning";
constexpr std::size_t kImportPieceLimit = 16000;
constexpr std::uint32_t kMaxRepeat = 100000;

void showImportError(Messages& messages, std::string text) {
    messages.show(std::move(text), kImportError, MsgIcon::Stop);
}

void warn(Messages& messages, std::string text) {
    messages.show(std::move(text), kWarning, MsgIcon::Exclamation);
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// A decimal number with an optional sign, blanks around it allowed; a
// negative one wraps to 32 bits as the store keeps it.
std::optional<std::uint32_t> parseNumber(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (number < INT32_MIN || number > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

// The value name an `INS<n>` element stands for: what follows its first
// three characters. Nothing for a name that would not be one key or value.
std::optional<std::string> insIndex(std::string_view elementName) {
    if (elementName.size() <= 3 || !utf8::sameName(elementName.substr(0, 3), "INS"))
        return std::nullopt;
    const std::string_view rest = elementName.substr(3);
    if (rest.find('\\') != std::string_view::npos) return std::nullopt;
    return std::string(rest);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Bytes from the export's hex text, two digits at every third character
// counted from the first that is not blank (the one between is not looked
// at), blanks at the start and end ignored. Takes the text in pieces as
// the reader gives them, so a piece's text is never held whole; more bytes
// than a piece may hold refuse it at once.
class HexPieceDecoder final : public XmlTextDecoder {
public:
    bool add(std::string_view text) override {
        for (const char c : text) {
            if (!take(c)) return false;
        }
        return true;
    }
    std::optional<std::string> finish() override {
        if (position_ % 3 == 1) return std::nullopt;  // half a byte
        bytes_.shrink_to_fit();  // growing by doubling left up to twice the size
        return std::move(bytes_);
    }

private:
    bool take(char c) {
        if (trailing_) return isBlank(c);
        const std::size_t column = position_ % 3;
        if (column == 0 && isBlank(c)) {
            trailing_ = position_ > 0;  // blanks before the first pair are skipped
            return true;
        }
        ++position_;
        if (column == 2) return true;
        const int digit = hexDigit(c);
        if (digit < 0) return false;
        if (column == 0) {
            if (bytes_.size() == kImportPieceLimit) return false;
            bytes_.push_back(static_cast<char>(digit << 4));
        } else {
            bytes_.back() = static_cast<char>(bytes_.back() | digit);
        }
        return true;
    }

    std::string bytes_;
    std::size_t position_ = 0;
    bool trailing_ = false;
};

// A piece's bytes: those decoded as the document was read, or those of its
// text, decoded into `holder`; null when they cannot be read.
const std::string* pieceBytes(const XmlElement& piece, std::optional<std::string>& holder) {
    switch (piece.textForm) {
        case XmlElement::TextForm::Decoded: return &piece.text;
        case XmlElement::TextForm::Refused: return nullptr;
        case XmlElement::TextForm::Read: break;
    }
    HexPieceDecoder decoder;
    if (decoder.add(piece.text)) holder = decoder.finish();
    return holder ? &*holder : nullptr;
}

// Writes one value of a macro's key at `subpath` (below Macros) as its kind
// says; a number that does not read as one is left out.
bool writeValue(SettingsStore& store, const std::string& subpath, const ValueSpec& spec,
                const std::string& text) {
    if (spec.kind == ValueKind::Text) return store.WriteMacroString(text, subpath, spec.name);
    const auto number = parseNumber(text);
    return !number ||
           store.WriteDword(*number, StoreKey::macros().child(subpath).rootSubpath(), spec.name);
}

bool writeKnownValues(SettingsStore& store, const std::string& subpath,
                      std::span<const ValueSpec> specs, const XmlElement& element) {
    for (const XmlElement& child : element.children) {
        const ValueSpec* spec = findValue(specs, child.name);
        if (spec != nullptr && !writeValue(store, subpath, *spec, child.text)) return false;
    }
    return true;
}

const XmlElement* childNamed(const XmlElement& element, std::string_view name) {
    const auto found =
        std::find_if(element.children.begin(), element.children.end(),
                     [&](const XmlElement& child) { return utf8::sameName(child.name, name); });
    return found == element.children.end() ? nullptr : &*found;
}

const std::string* attributeIgnoringCase(const XmlElement& element, std::string_view name) {
    for (const auto& [key, value] : element.attributes) {
        if (utf8::sameName(key, name)) return &value;
    }
    return nullptr;
}

bool writeCommand(SettingsStore& store, const std::string& macro, const std::string& subpath,
                  const XmlElement& command) {
    if (!store.CreateMacroKey(subpath)) return false;
    const XmlElement* idElement = childNamed(command, "id");
    const auto id = idElement == nullptr ? std::nullopt : parseNumber(idElement->text);
    if (!id) {
        showImportError(store.messages(),
                        "Unable to determine command in Macro:" + macro + "\n\nBad XML document");
        return true;
    }
    if (!store.WriteDword(*id, StoreKey::macros().child(subpath).rootSubpath(), "id")) return false;
    const CommandValueSet set = valuesOfCommand(*id);
    if (!writeKnownValues(store, subpath, set.values, command)) return false;
    if (set.nested.empty()) return true;
    for (const XmlElement& part : command.children) {
        const auto k = insIndex(part.name);
        if (!k) continue;
        const std::string partPath = childSubpath(subpath, *k);
        if (!store.CreateMacroKey(partPath) ||
            !writeKnownValues(store, partPath, set.nested, part)) {
            return false;
        }
    }
    return true;
}

// Each `INS<n>` child of `list` as key `<macro>\<keyName>\<n>`, written by `write`.
template <typename Write>
bool writeListed(SettingsStore& store, const std::string& macro, const char* keyName,
                 const XmlElement& list, Write write) {
    const std::string listPath = childSubpath(macro, keyName);
    if (!store.CreateMacroKey(listPath)) return false;
    for (const XmlElement& item : list.children) {
        if (const auto n = insIndex(item.name)) {
            if (!write(childSubpath(listPath, *n), item)) return false;
        }
    }
    return true;
}

// The trigger values of a MACRO element, checked before they are stored.
struct TriggerValues {
    std::optional<std::string> phrase;
    std::optional<std::uint32_t> phraseCase, modifiers, vk, repeat, messageId;
};

void readTrigger(TriggerValues& triggers, const XmlElement& child) {
    if (utf8::sameName(child.name, "WPhrase")) {
        triggers.phrase = child.text;
        return;
    }
    const std::pair<const char*, std::optional<std::uint32_t>*> numbers[] = {
        {"WPhraseCase", &triggers.phraseCase},
        {"fsModifiers", &triggers.modifiers},
        {"vk", &triggers.vk},
        {"repeat", &triggers.repeat},
        {"MsgID", &triggers.messageId}};
    for (const auto& [name, target] : numbers) {
        if (utf8::sameName(child.name, name)) *target = parseNumber(child.text);
    }
}

// A `vk` or `MsgID` of 0 means none, as the store layout has it; a hot key
// needs its modifiers too.
WantedTriggers wantedTriggers(const TriggerValues& triggers) {
    WantedTriggers wanted;
    if (triggers.vk.value_or(0) != 0 && triggers.modifiers) {
        wanted.hotKey = {*triggers.vk, *triggers.modifiers};
    }
    if (triggers.messageId.value_or(0) != 0) wanted.messageId = triggers.messageId;
    if (triggers.phrase && !triggers.phrase->empty()) {
        wanted.phrase = triggers.phrase;
        wanted.phraseCase = triggers.phraseCase.value_or(0) != 0;
    }
    return wanted;
}

class MacroImport {
public:
    MacroImport(ImportSite& site, MacroTriggerIntake& triggers, ImportMode mode, std::string name)
        : site_(site), triggers_(triggers), mode_(mode), name_(std::move(name)) {}

    bool write(SettingsStore& store, const XmlElement& element) {
        if (!store.CreateMacroKey(name_)) return false;
        TriggerValues triggers;
        for (const XmlElement& child : element.children) {
            if (utf8::sameName(child.name, "COMMANDS")) {
                if (!writeListed(store, name_, "Commands", child,
                                 [&](const std::string& path, const XmlElement& item) {
                                     return writeCommand(store, name_, path, item);
                                 })) {
                    return false;
                }
            } else if (utf8::sameName(child.name, "SCHEDULE")) {
                if (!writeListed(store, name_, "Schedule", child,
                                 [&](const std::string& path, const XmlElement& item) {
                                     return store.CreateMacroKey(path) &&
                                            writeKnownValues(store, path, scheduleValues(), item);
                                 })) {
                    return false;
                }
            } else {
                readTrigger(triggers, child);
            }
        }
        return writeTriggers(store, triggers);
    }

    // Enters the stored triggers in the program's tables.
    void enterTriggers() const {
        site_.addMacroRow(name_);
        triggers_.enterStored(name_, id_, hotKey_);
    }

private:
    bool number(SettingsStore& store, const char* value, std::uint32_t number) {
        return store.WriteDword(number, MacroKey(name_).key().rootSubpath(), value);
    }
    void warnIf(Messages& messages, std::string text) const {
        if (mode_ == ImportMode::Interactive) warn(messages, std::move(text));
    }

    bool writeTriggers(SettingsStore& store, const TriggerValues& triggers) {
        Messages& messages = store.messages();
        id_ = triggers_.nextHotKeyId();
        if (!number(store, "id", static_cast<std::uint32_t>(id_))) return false;
        std::uint32_t repeat = triggers.repeat.value_or(1);
        if (repeat < 1 || repeat > kMaxRepeat) {
            warnIf(messages,
                   "Execute: value must be between 1 and 100000!\n\nExecute: value for "
                   "macro: " +
                       inQuotes(name_) + " is being set to 1.");
            repeat = 1;
        }
        if (!number(store, "repeat", repeat)) return false;
        const WantedTriggers wanted = wantedTriggers(triggers);
        const TriggerConflicts conflicts = triggers_.checkConflicts(wanted, name_);
        if (wanted.hotKey) {
            if (conflicts.hotKey) {
                warnIf(messages, "Hotkey already in use by macro: " + inQuotes(*conflicts.hotKey) +
                                     "\n\nHotkey will not be saved with macro: " + inQuotes(name_));
            } else if (!number(store, "vk", wanted.hotKey->vk) ||
                       !number(store, "fsModifiers", wanted.hotKey->modifiers)) {
                return false;
            } else {
                hotKey_ = *wanted.hotKey;
            }
        }
        if (wanted.messageId) {
            if (conflicts.messageIdReserved) {
                warnIf(messages,
                       "XML Message ID must be greater than or equeal to 10000!  Lower "
                       "IDs are reserved.\n\nXML Message ID will not be saved with "
                       "macro: " +
                           inQuotes(name_));
            } else if (conflicts.messageId) {
                warnIf(messages,
                       "XML Message ID already in use by macro: " + inQuotes(*conflicts.messageId) +
                           "\n\nXML Message ID will not be saved with macro: " + inQuotes(name_));
            } else if (!number(store, "MsgID", *wanted.messageId)) {
                return false;
            }
        }
        if (wanted.phrase) {
            if (conflicts.phrase) {
                warnIf(messages,
                       "Word or Phrase trigger already in use by macro: " +
                           inQuotes(*conflicts.phrase) +
                           "\n\nWord or Phrase will not be saved with macro: " + inQuotes(name_));
            } else if (!store.WriteMacroString(*wanted.phrase, name_, "WPhrase") ||
                       (triggers.phraseCase &&
                        !number(store, "WPhraseCase", *triggers.phraseCase))) {
                return false;
            }
        }
        return true;
    }

private:
    ImportSite& site_;
    MacroTriggerIntake& triggers_;
    ImportMode mode_;
    std::string name_;
    std::int32_t id_ = 0;
    // The hot key stored, to be registered once committed.
    std::optional<WantedTriggers::HotKey> hotKey_;
};

bool writeRecording(SettingsStore& store, const std::string& name, const XmlElement& element,
                    std::uint32_t& type) {
    if (!store.CreateRecordingKey(name)) return false;
    const std::string subpath = RecordingKey(name).key().rootSubpath();
    for (const XmlElement& child : element.children) {
        if (utf8::sameName(child.name, "COUNT") || utf8::sameName(child.name, "TYPE")) {
            const auto number = parseNumber(child.text);
            if (!number) continue;
            if (utf8::sameName(child.name, "TYPE")) type = *number;
            if (!store.WriteDword(*number, subpath,
                                  utf8::sameName(child.name, "TYPE") ? "Type" : "Count")) {
                return false;
            }
            continue;
        }
        const auto piece = insIndex(child.name);
        std::optional<std::string> holder;
        const std::string* bytes = piece ? pieceBytes(child, holder) : nullptr;
        if (bytes == nullptr) {
            showImportError(store.messages(), "Error getting value of current tag.");
            return false;
        }
        if (!store.WriteBinary(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size(),
                               subpath, *piece)) {
            return false;
        }
    }
    return true;
}

// What differs between importing macros and recordings.
struct Section {
    const char* sectionTag;
    const char* itemTag;
    const char* listTitle;
    const char* noun;
    std::vector<std::string> (ImportSite::*rows)();
    StoreKey (*list)();
};

const Section kMacroSection{
    "MACROS",         "MACRO", "Keystrider - Macro List", "macro", &ImportSite::macroRows,
    &StoreKey::macros};
const Section kRecordingSection{"RECORDINGS",
                                "RECORDING",
                                "Keystrider - Recording List",
                                "recording",
                                &ImportSite::recordingRows,
                                &StoreKey::journals};

// The rename rule: the name, else the name followed by 1, 2, 3, … until
// neither a row of the list nor a key of the store has it. The names taken
// are read once and kept in a set, and for each clashing name the suffix
// it was last given, so that a document of many items of one name costs
// one look-up per item rather than one per item and suffix and row: the
// names taken only grow, so no smaller suffix can have come free.
class TakenNames {
public:
    TakenNames(SettingsStore& store, const Section& section, const std::vector<std::string>& rows)
        : tree_(store.tree()), list_(section.list()) {
        for (const std::string& row : rows) taken_.insert(utf8::upper(row));
        if (auto keys = tree_.subKeys(list_.treePath())) {
            for (const std::string& key : *keys) taken_.insert(utf8::upper(key));
        }
    }

    // The free name for an item called `name`, taken from now on.
    std::string claim(const std::string& name) {
        const std::string folded = utf8::upper(name);
        if (takeIfFree(name, folded)) return name;
        std::uint64_t& suffix = lastSuffix_[folded];
        for (;;) {
            std::string candidate = name + std::to_string(++suffix);
            if (takeIfFree(candidate, utf8::upper(candidate))) return candidate;
        }
    }

private:
    // The store is asked too, as a key may have come since the set was read.
    bool takeIfFree(const std::string& name, const std::string& folded) {
        if (!taken_.insert(folded).second) return false;
        return !tree_.keyExists(list_.child(name).treePath());
    }

    KeyTree& tree_;
    StoreKey list_;
    std::unordered_set<std::string> taken_;
    std::unordered_map<std::string, std::uint64_t> lastSuffix_;
};

struct Item {
    const XmlElement* element;
    std::string name;
};

// An item whose name breaks the name rule is left out, said as an
// interactive import warns and as a silent one reports its errors.
bool keepsNameRule(Messages& messages, const Section& section, const std::string& name,
                   ImportMode mode) {
    const auto fault = itemNameFault(name);
    if (!fault) return true;
    std::string text = std::string("The ") + section.noun + " name: " + inQuotes(name) +
                       " contains " + std::string(nameFaultText(*fault)) + ".\n\nThe " +
                       section.noun + " will not be imported.";
    if (mode == ImportMode::Interactive) {
        warn(messages, std::move(text));
    } else {
        showImportError(messages, std::move(text));
    }
    return false;
}

// The section's items with their names; nothing after an unreadable name (shown).
std::optional<std::vector<Item>> readItems(Messages& messages, const XmlDocument& document,
                                           const Section& section, ImportMode mode) {
    const XmlElement* list = firstBelowIgnoringCase(document.root(), section.sectionTag);
    if (list == nullptr) {
        messages.show(
            std::string("Error finding \"") + section.sectionTag + "\" tag.  Bad XML document.",
            "Error", MsgIcon::Stop);
        return std::nullopt;
    }
    std::vector<Item> items;
    for (const XmlElement& child : list->children) {
        if (!utf8::sameName(child.name, section.itemTag)) continue;
        const std::string* name = attributeIgnoringCase(child, "Name");
        if (name == nullptr) {
            showImportError(messages,
                            std::string("Error getting value of \"") + section.itemTag + "\" tag.");
            return std::nullopt;
        }
        if (!keepsNameRule(messages, section, *name, mode)) continue;
        items.push_back({&child, name->empty() ? std::string("Y") : *name});
    }
    return items;
}

template <typename ImportOne>
ImportOutcome importItems(SettingsStore& store, ImportSite& site, const XmlDocument& document,
                          ImportMode mode, const Section& section, ImportOne importOne) {
    Messages& messages = store.messages();
    auto items = readItems(messages, document, section, mode);
    if (!items) return ImportOutcome::Failed;
    const bool interactive = mode == ImportMode::Interactive;
    if (interactive) {
        std::vector<std::string> names;
        for (const Item& item : *items) names.push_back(item.name);
        const auto kept = site.chooseItems(section.listTitle, names);
        if (!kept) return ImportOutcome::Cancelled;
        std::vector<Item> chosen;
        for (const std::size_t index : *kept) {
            if (index < items->size()) chosen.push_back((*items)[index]);
        }
        *items = std::move(chosen);
    }
    TakenNames taken(store, section, (site.*section.rows)());
    for (std::size_t i = 0; i < items->size(); ++i) {
        if (!site.progress(i, items->size())) return ImportOutcome::Cancelled;
        const Item& item = (*items)[i];
        const std::string name = taken.claim(item.name);
        if (name != item.name && interactive) {
            warn(messages, std::string("The ") + section.noun + " name: " + inQuotes(item.name) +
                               " is already in use.\n\nIt will be changed to: " + inQuotes(name));
        }
        if (!importOne(store, name, *item.element)) return ImportOutcome::Failed;
    }
    site.progress(items->size(), items->size());
    return ImportOutcome::Done;
}

// A silent import asks nothing, so all its items go in as one batch, each
// still all-or-nothing on its own, and its messages wait for the batch's end;
// an interactive one commits each item before its next question.
template <typename ImportOne>
ImportOutcome importSection(SettingsStore& store, ImportSite& site, const XmlDocument& document,
                            ImportMode mode, const Section& section, ImportOne importOne) {
    if (mode == ImportMode::Interactive) {
        return importItems(store, site, document, mode, section, importOne);
    }
    ImportOutcome outcome = ImportOutcome::Failed;
    asOneChange(store, [&](SettingsStore& batch) {
        outcome = importItems(batch, site, document, mode, section, importOne);
        return true;
    });
    return outcome;
}

}  // namespace

std::optional<XmlDocument> loadDocument(const std::string& path, Messages& messages) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        showImportError(messages, "File not found.");
        return std::nullopt;
    }
    // A recording's pieces become bytes as they are read: their hex text
    // would take three times the memory.
    const XmlDecoderChoice piecesAsBytes = [](const std::vector<XmlElement>& open) {
        const std::size_t depth = open.size();
        const bool piece = depth >= 3 && utf8::sameName(open[depth - 2].name, "RECORDING") &&
                           utf8::sameName(open[depth - 3].name, "RECORDINGS") &&
                           !utf8::sameName(open.back().name, "COUNT") &&
                           !utf8::sameName(open.back().name, "TYPE");
        return piece ? std::make_unique<HexPieceDecoder>() : nullptr;
    };
    XmlError parseError;
    auto document = XmlDocument::load(path, parseError, piecesAsBytes);
    if (!document) messages.show("Error loading XML document.", "Error", MsgIcon::Stop);
    return document;
}

ImportOutcome importMacros(SettingsStore& store, ImportSite& site, MacroTriggerIntake& triggers,
                           const XmlDocument& document, ImportMode mode) {
    return importSection(
        store, site, document, mode, kMacroSection,
        [&](SettingsStore& into, const std::string& name, const XmlElement& element) {
            MacroImport macro(site, triggers, mode, name);
            if (!asOneChange(into,
                             [&](SettingsStore& inner) { return macro.write(inner, element); })) {
                return false;
            }
            macro.enterTriggers();
            return true;
        });
}

ImportOutcome importRecordings(SettingsStore& store, ImportSite& site, const XmlDocument& document,
                               ImportMode mode) {
    return importSection(
        store, site, document, mode, kRecordingSection,
        [&](SettingsStore& into, const std::string& name, const XmlElement& element) {
            std::uint32_t type = 0;
            if (!asOneChange(into, [&](SettingsStore& inner) {
                    return writeRecording(inner, name, element, type);
                })) {
                return false;
            }
            site.addRecordingRow(name, type);
            return true;
        });
}

}  // namespace ks
