#include "storetool/StoreTool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "core/Utf8.h"
#include "store/Hex.h"
#include "store/KeyTree.h"
#include "store/LayoutConversion.h"
#include "store/RegFile.h"
#include "store/SettingsStore.h"
#include "store/StorePath.h"

namespace ks {

namespace {

constexpr const char* kTitle = "keystrider-store";

constexpr const char* kHelp = R"(Usage: keystrider-store [--store FILE] COMMAND [ARGUMENTS]

Reads and changes Keystrider's settings store.

Commands:
  list KEY                  sub-keys of KEY, one a line, in enumeration order
  get KEY [NAME]            one value's data; without NAME every value of KEY
                            as NAME<TAB>TYPE<TAB>DATA, in stored order
  set KEY NAME TYPE DATA    write a value; TYPE is sz, dword or binary; KEY and
                            its parents are created when missing
  delete KEY [NAME]         delete a value, or the key with everything below it
                            (not the root)
  export [KEY] > FILE       write a registry export (.reg) of KEY and everything
                            below it
  import FILE               write a .reg file's keys and values into the store
                            (FILE - reads standard input); a file with any error
                            changes nothing; a new store is marked converted
                            (CnvDone 2002), as Keystrider's first start marks it

KEY is relative to the store's root, HKEY_LOCAL_MACHINE\SOFTWARE\Quorvel\Keystrider
(for example Macros\Backup\Commands\0); empty or \ names the root. Key and value
names compare without regard to case. NAME "" is the key's default value (@ in
.reg files).

Data:
  sz      UTF-8 text (stored with a terminating zero)
  dword   a 32-bit number: decimal on output; decimal or 0x hex on input
  binary  lower-case hex pairs separated by single blanks ("0a ff 10")

.reg files: "Windows Registry Editor Version 5.00" in UTF-16LE with byte order
mark or in UTF-8, and "REGEDIT4" (read as UTF-8 when the whole file is valid
UTF-8, otherwise as ISO-8859-1). Keys must lie below the store's root (hive
HKEY_LOCAL_MACHINE or HKLM); text, dword:, hex:, hex(1), hex(4), "name"=- and
[-KEY] are understood; other value kinds (hex(2), hex(7), ...) are refused with
the file's line number. Export writes Version 5.00 in UTF-16LE with CRLF lines.

Options:
  --store FILE  use FILE instead of the default store
                ($XDG_CONFIG_HOME/keystrider/store.db)
  --help        show this text

Exit status: 0 done, 1 key or value not found, 2 bad usage or bad input,
3 the store file could not be read or written. Every failure writes one line
to standard error.
)";

struct Context {
    KeyTree& tree;
    std::istream& in;
    std::ostream& out;
    Messages& messages;
};

int report(Messages& messages, int code, const std::string& text) {
    messages.show(text, kTitle, MsgIcon::Stop);
    return code;
}

int usage(Messages& messages, const std::string& text) {
    return report(messages, kExitBadInput, text + " (keystrider-store --help shows the usage)");
}

int storeFailure(Context& context, const std::string& error) {
    const bool missing = error == KeyTree::kMissingKey || error == KeyTree::kMissingValue;
    return report(context.messages, missing ? kExitNotFound : kExitStoreFailure, error);
}

std::string_view bytesView(const Bytes& data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

// ---- Value data as text --------------------------------------------------

std::string binaryText(const Bytes& data) {
    std::string text;
    for (const std::uint8_t byte : data) {
        if (!text.empty()) text += ' ';
        text += hexPair(byte);
    }
    return text;
}

// The value's type and data as `get` prints them; a number of an odd size
// and any kind the tool has no name for print as their bytes.
std::pair<const char*, std::string> printable(const StoredValue& value) {
    if (value.type == kTypeText) return {"sz", textFromBytes(value.data)};
    if (value.type == kTypeDword && value.data.size() == 4)
        return {"dword", std::to_string(*dwordFromBytes(value.data))};
    return {"binary", binaryText(value.data)};
}

std::optional<std::uint32_t> parseNumber(std::string_view text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) text.remove_prefix(2);
    const std::uint64_t base = hex ? 16 : 10;
    if (text.empty()) return std::nullopt;
    std::uint64_t number = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0 || static_cast<std::uint64_t>(digit) >= base) return std::nullopt;
        number = number * base + static_cast<std::uint64_t>(digit);
        if (number > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

std::optional<Bytes> parseBinary(std::string_view text) {
    Bytes data;
    for (std::size_t pos = 0; pos < text.size(); pos += 3) {
        if (pos + 2 > text.size() || (pos + 2 < text.size() && text[pos + 2] != ' '))
            return std::nullopt;
        const int high = hexDigit(text[pos]);
        const int low = hexDigit(text[pos + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        data.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    if (!text.empty() && text.back() == ' ') return std::nullopt;
    return data;
}

struct TypedData {
    std::uint32_t type = kTypeBinary;
    Bytes data;
};

std::optional<TypedData> parseData(std::string_view type, std::string_view text,
                                   std::string& error) {
    if (type == "sz") return TypedData{kTypeText, textBytes(text)};
    if (type == "dword") {
        if (auto number = parseNumber(text)) return TypedData{kTypeDword, dwordBytes(*number)};
        error =
            "A dword is a decimal number from 0 to 4294967295, or 0x and up to 8 hex digits, not "
            "\"" +
            std::string(text) + "\".";
        return std::nullopt;
    }
    if (type == "binary") {
        if (auto bytes = parseBinary(text)) return TypedData{kTypeBinary, std::move(*bytes)};
        error = "Binary data is hex pairs separated by single blanks (\"0a ff 10\"), not \"" +
                std::string(text) + "\".";
        return std::nullopt;
    }
    error = "The type is sz, dword or binary, not \"" + std::string(type) + "\".";
    return std::nullopt;
}

// ---- Commands ------------------------------------------------------------

using Args = std::vector<std::string>;

// The KEY argument as a path from the top of the tree, or a usage failure.
// Keys that exist are found whatever their names, so that one a name rule
// now refuses can still be read and deleted.
std::optional<std::string> keyArgument(Context& context, const std::string& argument, int& exit,
                                       KeyUse use = KeyUse::Find) {
    const std::string relative = trimmedKeyPath(argument);
    if (auto problem = keyPathProblem(relative, use)) {
        exit = report(context.messages, kExitBadInput, *problem);
        return std::nullopt;
    }
    return storePath(relative);
}

int listKeys(Context& context, const Args& args) {
    int exit = kExitDone;
    const auto key = keyArgument(context, args[0], exit);
    if (!key) return exit;
    Expected<std::vector<std::string>> names = context.tree.subKeys(*key);
    if (!names) return storeFailure(context, names.error());
    for (const std::string& name : *names) context.out << name << '\n';
    return kExitDone;
}

int getValues(Context& context, const Args& args) {
    int exit = kExitDone;
    const auto key = keyArgument(context, args[0], exit);
    if (!key) return exit;
    if (args.size() == 2) {
        Expected<StoredValue> value = context.tree.readValue(*key, args[1]);
        if (!value) return storeFailure(context, value.error());
        context.out << printable(*value).second << '\n';
        return kExitDone;
    }
    Expected<std::vector<StoredValue>> values = context.tree.values(*key);
    if (!values) return storeFailure(context, values.error());
    for (const StoredValue& value : *values) {
        const auto [type, data] = printable(value);
        context.out << value.name << '\t' << type << '\t' << data << '\n';
    }
    return kExitDone;
}

int setValue(Context& context, const Args& args) {
    int exit = kExitDone;
    const auto key = keyArgument(context, args[0], exit, KeyUse::Write);
    if (!key) return exit;
    if (auto problem = nameProblem(args[1]))
        return report(context.messages, kExitBadInput, *problem);
    std::string error;
    const std::optional<TypedData> data = parseData(args[2], args[3], error);
    if (!data) return report(context.messages, kExitBadInput, error);
    Result written = context.tree.setValue(*key, args[1], data->type, data->data);
    return written ? kExitDone : storeFailure(context, written.error());
}

int deleteEntry(Context& context, const Args& args) {
    int exit = kExitDone;
    const auto key = keyArgument(context, args[0], exit);
    if (!key) return exit;
    if (auto problem = keyDeletionProblem(args[0]); problem && args.size() == 1) {
        return report(context.messages, kExitBadInput, *problem);
    }
    Result deleted =
        args.size() == 2 ? context.tree.deleteValue(*key, args[1]) : context.tree.deleteTree(*key);
    return deleted ? kExitDone : storeFailure(context, deleted.error());
}

int exportKey(Context& context, const Args& args) {
    const std::string relative = args.empty() ? std::string() : args[0];
    if (auto problem = keyPathProblem(trimmedKeyPath(relative), KeyUse::Export)) {
        return report(context.messages, kExitBadInput, *problem);
    }
    Expected<Bytes> file = exportRegFile(context.tree, relative);
    if (!file) return storeFailure(context, file.error());
    const std::string_view bytes = bytesView(*file);
    context.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return kExitDone;
}

std::optional<std::string> readAll(std::istream& stream) {
    std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) return std::nullopt;
    return bytes;
}

bool setsRootValue(const std::vector<RegOperation>& operations, std::string_view name) {
    return std::any_of(operations.begin(), operations.end(), [&](const RegOperation& operation) {
        return operation.kind == RegOperation::Kind::SetValue &&
               trimmedKeyPath(operation.key).empty() && utf8::sameName(operation.name, name);
    });
}

// A new store filled by import holds macros saved in today's layout, as a
// first start's store does: it is marked converted, so that the start-up
// conversion does not take them for the old layout. A file that sets the
// mark itself (an export of the whole store) keeps its own.
void markConverted(std::vector<RegOperation>& operations) {
    if (setsRootValue(operations, "CnvDone")) return;
    RegOperation mark;
    mark.kind = RegOperation::Kind::SetValue;
    mark.name = "CnvDone";
    mark.type = kTypeDword;
    mark.data = dwordBytes(kLayoutVersion);
    operations.push_back(std::move(mark));
}

int importFile(Context& context, const Args& args) {
    const std::string& name = args[0];
    std::optional<std::string> bytes;
    if (name == "-") {
        bytes = readAll(context.in);
    } else {
        std::ifstream file(name, std::ios::binary);
        if (file) bytes = readAll(file);
    }
    if (!bytes) {
        return report(context.messages, kExitBadInput,
                      "Cannot read " + name + ": " + std::strerror(errno));
    }
    const RegParse parsed = parseRegFile(*bytes);
    if (!parsed.ok()) {
        return report(
            context.messages, kExitBadInput,
            name + ":" + std::to_string(parsed.error->line) + ": " + parsed.error->message);
    }
    std::vector<RegOperation> operations = parsed.operations;
    if (!context.tree.keyExists(storePath(""))) markConverted(operations);
    if (auto failed = applyRegOperations(context.tree, operations)) {
        const std::string where =
            failed->line > 0 ? ":" + std::to_string(failed->line) : std::string();
        return report(context.messages, kExitStoreFailure,
                      name + where + ": " + failed->message + " Nothing was imported.");
    }
    return kExitDone;
}

struct Command {
    const char* name;
    std::size_t minArgs;
    std::size_t maxArgs;
    bool writes;
    int (*run)(Context&, const Args&);
};

constexpr Command kCommands[] = {
    {"list", 1, 1, false, listKeys},    {"get", 1, 2, false, getValues},
    {"set", 4, 4, true, setValue},      {"delete", 1, 2, true, deleteEntry},
    {"export", 0, 1, false, exportKey}, {"import", 1, 1, true, importFile},
};

int runCommand(const Command& command, const std::string& file, const Args& args, std::istream& in,
               std::ostream& out, Messages& messages) {
    // Reading never creates a store: a mistyped --store is reported, not made.
    if (!command.writes && !std::filesystem::exists(file)) {
        return report(messages, kExitNotFound, "The store file " + file + " does not exist.");
    }
    KeyTree tree(file, command.writes ? KeyTree::Access::ReadWrite : KeyTree::Access::ReadOnly);
    if (Result open = tree.openStatus(); !open) {
        return report(messages, kExitStoreFailure,
                      "Cannot open the store file " + file + ": " + open.error());
    }
    Context context{tree, in, out, messages};
    const int exit = command.run(context, args);
    out.flush();
    if (exit == kExitDone && !out)
        return report(messages, kExitStoreFailure, "Cannot write the output.");
    return exit;
}

}  // namespace

int runStoreTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                 Messages& messages) {
    std::string file;
    std::size_t next = 0;
    // Options come before the command, so that data such as "--x" needs no quoting.
    for (; next < args.size() && args[next].rfind("--", 0) == 0; ++next) {
        const std::string& option = args[next];
        if (option == "--") {
            ++next;
            break;
        }
        if (option == "--help") {
            out << kHelp;
            return kExitDone;
        }
        if (option == "--store" && next + 1 < args.size()) {
            file = args[++next];
        } else if (option.rfind("--store=", 0) == 0) {
            file = option.substr(8);
        } else if (option != "--store") {
            return usage(messages, "Unknown option " + option + ".");
        }
        if (option.rfind("--store", 0) == 0 && file.empty())
            return usage(messages, "--store needs a file name.");
    }
    if (next >= args.size()) return usage(messages, "No command given.");
    const std::string& name = args[next];
    const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const Command& c) { return name == c.name; });
    if (command == std::end(kCommands)) return usage(messages, "Unknown command \"" + name + "\".");
    const Args rest(args.begin() + static_cast<std::ptrdiff_t>(next) + 1, args.end());
    if (rest.size() < command->minArgs || rest.size() > command->maxArgs) {
        return usage(messages, "Wrong number of arguments for " + name + ".");
    }
    if (file.empty()) file = KeyTree::defaultFile();
    return runCommand(*command, file, rest, in, out, messages);
}

}  // namespace ks
