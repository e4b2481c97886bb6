#include "store/LayoutConversion.h"

#include <string>
#include <vector>

#include "core/CommandId.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

// One macro command being converted: its key for direct access and the
// sub-paths the reporting operations take.
class CommandConversion {
public:
    CommandConversion(SettingsStore& store, const std::string& macro, int position)
        : store_(store),
          macroSubpath_(CommandKey(macro, position).macroSubpath()),
          key_(StoreKey::macros().child(macroSubpath_).direct()) {}

    void run(std::uint32_t id) {
        switch (id) {
            case kDelay: numberToText("DelayInterval", "DelayInterval"); break;
            case kCopyFromClipBoard:
            case kPasteToClipBoard: numberToText("BufIndex", "BufIndex"); break;
            case kPlaybackRecording: numberToText("PlayBackSpeed", "PlayBackSpeed"); break;
            case kWaitForWindow: numberToText("WaitWindowTimeout", "WaitWindowTimeout"); break;
            case kMoveMousePointer: convertPointerMove(); break;
            case kSendDate:
            case kSendTime: addDateTimeElements(); break;
            case kMessageBox: addMessageBoxOptions(); break;
            default: break;
        }
    }

private:
    // Only a value kept as a number is rewritten: one that is already text
    // (a second conversion after an interrupted one) stays as it is.
    void numberToText(const char* from, const char* to) {
        Expected<StoredValue> value = store_.tree().readValue(key_, from);
        if (!value || value->type != kTypeDword) return;
        const auto number = dwordFromBytes(value->data);
        if (!number) return;
        store_.DeleteValue(key_, from);
        store_.SetText(key_, to, std::to_string(static_cast<std::int32_t>(*number)));
    }

    bool exists(const char* name) { return store_.tree().readValue(key_, name).ok(); }

    void convertPointerMove() {
        if (exists("XCoord")) {
            numberToText("XCoord", "XABCoord");
            store_.SetDword(key_, "IsAB", 1);
            numberToText("YCoord", "YABCoord");
            store_.SetText(key_, "XRELCoord", "0");
            store_.SetText(key_, "YRELCoord", "0");
            return;
        }
        for (const char* name : {"XABCoord", "YABCoord", "XRELCoord", "YRELCoord"}) {
            numberToText(name, name);
        }
    }

    // The old layout kept UseGMT without any element sub-keys; a command
    // that has them is in today's layout (a store filled by import before
    // its first start) and keeps its own elements.
    void addDateTimeElements() {
        if (!exists("UseGMT") || hasElements()) return;
        store_.SetDword(key_, "UseGMT", 0);
        struct Element {
            std::uint32_t include;
            std::int32_t order;
            std::int32_t format;
            const char* append;
        };
        constexpr Element kElements[] = {
            {1, 0, 0, "/"}, {1, 1, 0, "/"}, {1, 2, 1, ""}, {0, -1, -1, ""}, {0, -1, -1, ""}};
        for (int k = 0; k < 5; ++k) {
            const Element& element = kElements[k];
            const std::string subpath = macroSubpath_ + "\\" + std::to_string(k);
            const std::string rootSubpath = StoreKey::macros().child(subpath).rootSubpath();
            store_.CreateMacroKey(subpath);
            store_.WriteDword(element.include, rootSubpath, "Include");
            store_.WriteDword(static_cast<std::uint32_t>(element.order), rootSubpath, "Order");
            store_.WriteDword(static_cast<std::uint32_t>(element.format), rootSubpath, "Format");
            store_.WriteMacroString(element.append, subpath, "Append");
            store_.WriteMacroString("", subpath, "Prepend");
        }
    }

    bool hasElements() {
        Expected<std::vector<std::string>> elements = store_.tree().subKeys(key_);
        return elements && !elements->empty();
    }

    void addMessageBoxOptions() {
        if (exists("MsgBoxType")) return;
        const std::string rootSubpath = StoreKey::macros().child(macroSubpath_).rootSubpath();
        store_.WriteMacroString("0", macroSubpath_, "TimeOut");
        store_.WriteDword(0, rootSubpath, "MsgBoxType");
        store_.WriteDword(5, rootSubpath, "MsgBoxPos");
        store_.WriteDword(1, rootSubpath, "MsgBoxSetFocus");
        store_.WriteDword(0, rootSubpath, "MsgBoxSetForeground");
    }

    SettingsStore& store_;
    std::string macroSubpath_;
    std::string key_;
};

// The conversion did not happen; it runs again at the next start.
void showNotConverted(SettingsStore& store, const std::string& failure) {
    store.messages().show(failure + "\nKeystrider may not function properly.", "Attention",
                          MsgIcon::Exclamation);
}

}  // namespace

void convertStoreLayout(SettingsStore& store) {
    if (store.GetDword(StoreKey::root().direct(), "CnvDone").value_or(0) >= kLayoutVersion) return;
    const std::string macrosPath = StoreKey::macros().treePath();
    if (Result open = store.tree().openKey(macrosPath); !open) {
        showNotConverted(store, "Error opening key " + macrosPath + " in the registry - " +
                                    limitedError(open.error()));
        return;
    }
    // Converted as one change, so that an interrupted start leaves the old
    // layout whole and the next start converts it again.
    KeyTree::Transaction transaction(store.tree());
    for (std::size_t index = 0;; ++index) {
        Expected<std::string> macro = store.tree().enumKey(macrosPath, index);
        if (!macro) break;
        for (int position = 0;; ++position) {
            const auto id = store.GetDword(MacroKey(*macro).commandDirect(position), "id");
            if (!id) break;
            CommandConversion(store, *macro, position).run(*id);
        }
    }
    Result saved = store.tree().setValue(StoreKey::root().direct(), "CnvDone", kTypeDword,
                                         dwordBytes(kLayoutVersion));
    if (saved) saved = transaction.commit();
    if (!saved) {
        showNotConverted(store,
                         "Error saving the converted store - " + limitedError(saved.error()));
    }
}

}  // namespace ks
