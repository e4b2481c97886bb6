#include "store/SettingsStore.h"

#include <cstdio>
#include <vector>

#include "core/Utf8.h"
#include "store/StorePath.h"

namespace ks {

namespace {

constexpr const char* kMoreData = "More data is available.";

// printf-style formatting of the store's message templates, every argument a text.
std::string format(const char* pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    auto arg = args.begin();
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's' && arg != args.end()) {
            out += *arg++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string joined(std::string_view a, std::string_view b) {
    std::string out(a);
    out += b;
    return out;
}

// Failure when an empty name made `key`: it would reach the key above.
Result namedKey(std::string_view key) {
    if (auto problem = namedKeyProblem(key)) return Result::failure(*problem);
    return Result::success();
}

Result openNamedKey(KeyTree& tree, std::string_view key) {
    Result named = namedKey(key);
    return named ? tree.openKey(key) : named;
}

}  // namespace

Bytes textBytes(std::string_view text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

std::string textFromBytes(const Bytes& data) {
    std::string text(data.begin(), data.end());
    const auto zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

Bytes dwordBytes(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

std::optional<std::uint32_t> dwordFromBytes(const Bytes& data) {
    if (data.size() > 4) return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < data.size(); ++i) number |= std::uint32_t{data[i]} << (8 * i);
    return number;
}

std::string limitedError(std::string_view error, std::size_t limit) {
    return std::string(utf8::prefix(error, limit));
}

void SettingsStore::showError(const std::string& text) {
    messages_.show(text, "Error", MsgIcon::Stop);
}

void SettingsStore::showAttention(const std::string& text) {
    messages_.show(text, "Attention", MsgIcon::Exclamation);
}

bool SettingsStore::EnsureRootKeys() {
    if (Result open = tree_.openKey("Software"); !open) {
        showAttention(format("Error opening Software key in registry - %s",
                             {limitedError(open.error(), 100)}));
        return false;
    }
    struct Level {
        const char* path;
        std::string message;
    };
    const std::vector<Level> levels = {
        {"Software\\Quorvel", format("Error creating %s key! - %s", {"Quorvel"})},
        {"Software\\Quorvel\\Keystrider", format("Error creating %s key! - %s", {"Keystrider"})},
        {"Software\\Quorvel\\Keystrider\\Macros", "Error creating Macros key! - %s"},
        {"Software\\Quorvel\\Keystrider\\Journals", "Error creating Journals key! - %s"},
    };
    for (const Level& level : levels) {
        if (tree_.keyExists(level.path)) continue;
        if (Result created = tree_.createKey(level.path); !created) {
            showError(format(level.message.c_str(), {limitedError(created.error())}));
            return false;
        }
    }
    return true;
}

bool SettingsStore::createKey(const char* parent, std::string_view name) {
    const std::string key = joined(parent, name);
    Result created = namedKey(key);
    if (created) created = tree_.createKey(key);
    if (!created) {
        showError(
            format("Error creating key %s%s - %s", {parent, name, limitedError(created.error())}));
        return false;
    }
    return true;
}

bool SettingsStore::CreateMacroKey(std::string_view name) {
    return createKey(kMacrosKey, name);
}

bool SettingsStore::CreateRecordingKey(std::string_view name) {
    return createKey(kJournalsKey, name);
}

bool SettingsStore::writeValue(const std::string& key, std::string_view valueName,
                               std::uint32_t type, std::span<const std::uint8_t> data,
                               const std::string& failurePrefix) {
    // The key is opened again only to tell the two failures apart: a
    // second look-up on every write would cost a long import a good part
    // of its time.
    Result written = namedKey(key);
    if (written) written = tree_.writeValue(key, valueName, type, data);
    if (written) return true;
    if (Result open = openNamedKey(tree_, key); !open) {
        showAttention(format("Error accessing registry - %s", {limitedError(open.error())}));
        return false;
    }
    showError(format("Error writing %s\\%s - %s",
                     {failurePrefix, valueName, limitedError(written.error())}));
    return false;
}

bool SettingsStore::WriteMacroString(std::string_view text, std::string_view subpath,
                                     std::string_view valueName) {
    const std::string key = joined(kMacrosKey, subpath);
    return writeValue(key, valueName, kTypeText, textBytes(text), key);
}

bool SettingsStore::WriteDword(std::uint32_t number, std::string_view subpath,
                               std::string_view valueName) {
    const std::string key = joined(kRootKey, subpath);
    return writeValue(key, valueName, kTypeDword, dwordBytes(number), key);
}

bool SettingsStore::WriteBinary(const std::uint8_t* bytes, std::size_t length,
                                std::string_view subpath, std::string_view valueName) {
    const std::string key = joined(kRootKey, subpath);
    return writeValue(key, valueName, kTypeBinary, std::span(bytes, length), key);
}

std::optional<StoredValue> SettingsStore::readValue(const std::string& key,
                                                    std::string_view valueName,
                                                    const char* openMessage,
                                                    const char* readMessage) {
    if (Result open = tree_.openKey(key); !open) {
        showAttention(format(openMessage, {key, limitedError(open.error())}));
        return std::nullopt;
    }
    Expected<StoredValue> value = tree_.readValue(key, valueName);
    if (!value) {
        showAttention(format(readMessage,
                             {key + "\\" + std::string(valueName), limitedError(value.error())}));
        return std::nullopt;
    }
    return std::move(*value);
}

std::optional<std::uint32_t> SettingsStore::ReadDword(std::string_view subpath,
                                                      std::string_view valueName) {
    const std::string key = joined(kRootKey, subpath);
    constexpr const char* kReadMessage = "Error reading DWORD from reigistry at: %s, error: %s";
    auto value =
        readValue(key, valueName, "Error opening key in reigistry at: %s, error: %s", kReadMessage);
    if (!value) return std::nullopt;
    auto number = dwordFromBytes(value->data);
    if (!number) {
        showAttention(format(kReadMessage, {key + "\\" + std::string(valueName), kMoreData}));
    }
    return number;
}

bool SettingsStore::ReadMacroString(std::string_view subpath, std::string_view valueName,
                                    std::string& out) {
    out.clear();
    auto value = readValue(joined(kMacrosKey, subpath), valueName,
                           "Error opening key in reigistry at: %s, error: %s",
                           "Error reading value in reigistry at: %s, error: %s");
    if (!value) return false;
    out = textFromBytes(value->data);
    return true;
}

std::optional<Bytes> SettingsStore::ReadBinary(std::string_view subpath,
                                               std::string_view valueName) {
    auto value = readValue(joined(kRootKey, subpath), valueName,
                           "Error opening key in reigistry at: %s, error: %s",
                           "Error reading value in reigistry at: %s, error: %s");
    if (!value) return std::nullopt;
    return std::move(value->data);
}

bool SettingsStore::DeleteKeyTree(std::string_view path) {
    if (Result open = openNamedKey(tree_, path); !open) {
        showAttention(format("Error opening key %s in the registry - %s",
                             {path, limitedError(open.error())}));
        return false;
    }
    // One transaction for the whole tree: a failure half way leaves it whole.
    return tree_.deleteTree(path).ok();
}

bool SettingsStore::CommandExists(std::string_view subpath) {
    return GetDword(joined(std::string(kDirectRoot) + "Macros\\", subpath), "id").has_value();
}

std::optional<std::uint32_t> SettingsStore::GetDword(std::string_view path, std::string_view name) {
    Expected<StoredValue> value = tree_.readValue(path, name);
    if (!value) return std::nullopt;
    return dwordFromBytes(value->data);
}

std::optional<std::string> SettingsStore::GetText(std::string_view path, std::string_view name) {
    Expected<StoredValue> value = tree_.readValue(path, name);
    if (!value) return std::nullopt;
    return textFromBytes(value->data);
}

std::optional<Bytes> SettingsStore::GetBinary(std::string_view path, std::string_view name) {
    Expected<StoredValue> value = tree_.readValue(path, name);
    if (!value) return std::nullopt;
    return std::move(value->data);
}

bool SettingsStore::SetDword(std::string_view path, std::string_view name, std::uint32_t number) {
    return tree_.setValue(path, name, kTypeDword, dwordBytes(number)).ok();
}

bool SettingsStore::SetText(std::string_view path, std::string_view name, std::string_view text) {
    return tree_.setValue(path, name, kTypeText, textBytes(text)).ok();
}

bool SettingsStore::DeleteValue(std::string_view path, std::string_view name) {
    return tree_.deleteValue(path, name).ok();
}

bool SettingsStore::OptionOn(std::string_view name) {
    return GetDword(kDirectRoot, name) == std::optional<std::uint32_t>(1);
}

}  // namespace ks
