#include "editors/MacroDocument.h"

#include "core/Utf8.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

std::optional<std::uint32_t> dwordOf(const std::vector<StoredValue>& values,
                                     std::string_view name) {
    for (const StoredValue& value : values) {
        if (utf8::sameName(value.name, name) && value.type == kTypeDword) {
            return dwordFromBytes(value.data);
        }
    }
    return std::nullopt;
}

std::string textOf(const std::vector<StoredValue>& values, std::string_view name) {
    for (const StoredValue& value : values) {
        if (utf8::sameName(value.name, name) && value.type == kTypeText) {
            return textFromBytes(value.data);
        }
    }
    return {};
}

// A command's values (its `id` aside) and its numbered sub-keys.
CommandRecord readRecord(KeyTree& tree, const std::string& key, std::uint32_t id) {
    CommandRecord record{id};
    if (Expected<std::vector<StoredValue>> values = tree.values(key)) {
        for (const StoredValue& value : *values) {
            if (utf8::upper(value.name) == "ID" && id != 0) continue;
            if (value.type == kTypeDword) {
                if (const auto number = dwordFromBytes(value.data)) record.set(value.name, *number);
            } else if (value.type == kTypeText) {
                record.set(value.name, textFromBytes(value.data));
            }
        }
    }
    for (int part = 0;; ++part) {
        const std::string partKey = key + "\\" + std::to_string(part);
        if (!tree.keyExists(partKey)) break;
        record.parts.push_back(readRecord(tree, partKey, 0));
    }
    return record;
}

Result writeRecord(KeyTree& tree, const std::string& key, const CommandRecord& record) {
    Result done = tree.createKey(key);
    if (done && record.id != 0)
        done = tree.writeValue(key, "id", kTypeDword, dwordBytes(record.id));
    for (const CommandValue& value : record.values) {
        if (!done) return done;
        if (const auto* number = std::get_if<std::uint32_t>(&value.data)) {
            done = tree.writeValue(key, value.name, kTypeDword, dwordBytes(*number));
        } else {
            done = tree.writeValue(key, value.name, kTypeText,
                                   textBytes(std::get<std::string>(value.data)));
        }
    }
    for (std::size_t part = 0; done && part < record.parts.size(); ++part) {
        done = writeRecord(tree, key + "\\" + std::to_string(part), record.parts[part]);
    }
    return done;
}

Result writeSchedule(KeyTree& tree, const std::string& key, const Schedule& schedule) {
    Result done = tree.createKey(key);
    if (done) done = tree.writeValue(key, "Period", kTypeDword, dwordBytes(schedule.period));
    for (std::size_t f = 0; done && f < kScheduleFieldCount; ++f) {
        done =
            tree.writeValue(key, kScheduleValueNames[f], kTypeText, textBytes(schedule.fields[f]));
    }
    return done;
}

Result writeTriggers(KeyTree& tree, const std::string& key, const MacroDocument& macro) {
    const auto number = [&](const char* name, std::uint32_t value) {
        return tree.writeValue(key, name, kTypeDword, dwordBytes(value));
    };
    // `vk` and `fsModifiers` only for a hot key, `MsgID` only for a message
    // id: a stored 0 would read as a hot key or id the macro does not have.
    Result done = Result::success();
    if (macro.vk != 0) {
        done = number("vk", macro.vk);
        if (done) done = number("fsModifiers", macro.modifiers);
    }
    if (done) done = number("id", macro.hotKeyId);
    if (done) done = number("repeat", macro.repeat);
    if (done && macro.messageId != 0) done = number("MsgID", macro.messageId);
    if (done) done = tree.writeValue(key, "WPhrase", kTypeText, textBytes(macro.phrase));
    if (done) done = number("WPhraseCase", macro.phraseCase ? 1 : 0);
    return done;
}

}  // namespace

Expected<MacroDocument> readMacro(KeyTree& tree, const std::string& name) {
    const MacroKey macroKey(name);
    const std::string key = macroKey.key().direct();
    KeyTree::Transaction snapshot(tree);
    if (Result exists = tree.openKey(key); !exists) return exists;
    Expected<std::vector<StoredValue>> values = tree.values(key);
    if (!values) return values.status();
    MacroDocument macro;
    macro.name = name;
    macro.vk = dwordOf(*values, "vk").value_or(0);
    macro.modifiers = dwordOf(*values, "fsModifiers").value_or(0);
    macro.hotKeyId = dwordOf(*values, "id").value_or(0);
    macro.repeat = dwordOf(*values, "repeat").value_or(1);
    macro.messageId = dwordOf(*values, "MsgID").value_or(0);
    macro.phrase = textOf(*values, "WPhrase");
    macro.phraseCase = dwordOf(*values, "WPhraseCase").value_or(0) != 0;
    for (std::int32_t n = 0;; ++n) {
        Expected<std::vector<StoredValue>> entry = tree.values(macroKey.schedule(n).direct());
        const auto period = entry ? dwordOf(*entry, "Period") : std::nullopt;
        if (!period) break;
        Schedule& schedule = macro.schedules.emplace_back(Schedule{*period, {}});
        for (std::size_t f = 0; f < kScheduleFieldCount; ++f) {
            schedule.fields[f] = textOf(*entry, kScheduleValueNames[f]);
        }
    }
    for (std::int32_t position = 0;; ++position) {
        const std::string command = macroKey.commandDirect(position);
        Expected<StoredValue> id = tree.readValue(command, "id");
        const auto number = id && id->type == kTypeDword ? dwordFromBytes(id->data) : std::nullopt;
        if (!number) break;
        macro.commands.push_back(readRecord(tree, command, *number));
    }
    return macro;
}

Result writeMacro(KeyTree& tree, const MacroDocument& macro, const std::string& replacing) {
    const MacroKey macroKey(macro.name);
    const std::string key = macroKey.key().direct();
    KeyTree::Transaction change(tree);
    if (!change.begun()) return change.begun();
    Result done = Result::success();
    if (!replacing.empty()) done = tree.deleteTree(MacroKey(replacing).key().direct());
    if (done && tree.keyExists(key)) return Result::failure(kMacroExists);
    if (done) done = tree.createKey(key);
    if (done) done = writeTriggers(tree, key, macro);
    for (std::size_t n = 0; done && n < macro.schedules.size(); ++n) {
        done = writeSchedule(tree, macroKey.schedule(static_cast<std::int32_t>(n)).direct(),
                             macro.schedules[n]);
    }
    for (std::size_t k = 0; done && k < macro.commands.size(); ++k) {
        done = writeRecord(tree, macroKey.commandDirect(static_cast<std::int32_t>(k)),
                           macro.commands[k]);
    }
    if (done) done = change.commit();
    return done;
}

}  // namespace ks
