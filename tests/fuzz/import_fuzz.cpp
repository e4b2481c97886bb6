// Any bytes posted as a document to import, read and imported as the request
// server does. What an import adds must be one row per item under a name no
// other row has in any case, each with its key in the store.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string_view>

#include "core/Messages.h"
#include "core/Utf8.h"
#include "interchange/Interchange.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace {

class QuietMessages final : public ks::Messages {
public:
    using Messages::show;
    ks::MsgAnswer show(const ks::MessageBox&) override { return ks::MsgAnswer::Yes; }
};

// Lists that keep their rows; every trigger is free.
class ListSite final : public ks::ImportSite {
public:
    std::vector<std::string> macroRows() override { return macros; }
    std::vector<std::string> recordingRows() override { return recordings; }
    void addMacroRow(const std::string& macro) override { macros.push_back(macro); }
    void addRecordingRow(const std::string& recording, std::uint32_t) override {
        recordings.push_back(recording);
    }
    std::int32_t nextHotKeyIdentifier() override { return ++counter_; }
    std::optional<std::string> hotKeyHolder(std::uint32_t, std::uint32_t) override { return {}; }
    void registerHotKey(const std::string&, std::int32_t, std::uint32_t, std::uint32_t) override {}
    std::optional<std::string> messageIdHolder(std::int32_t) override { return {}; }
    std::optional<std::string> phraseHolder(const std::string&, bool) override { return {}; }
    void loadOtherTriggers(const std::string&) override {}
    std::optional<std::vector<std::size_t>> chooseItems(const std::string&,
                                                        const std::vector<std::string>&) override {
        return std::nullopt;
    }
    bool progress(std::size_t, std::size_t) override { return true; }

    std::vector<std::string> macros, recordings;

private:
    std::int32_t counter_ = 0;
};

void checkRows(ks::KeyTree& tree, const std::vector<std::string>& rows, ks::StoreKey list) {
    std::set<std::string> folded;
    for (const std::string& row : rows) {
        if (!folded.insert(ks::utf8::upper(row)).second) std::abort();
        if (!tree.keyExists(list.child(row).treePath())) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ks::XmlError error;
    const auto document =
        ks::XmlDocument::parse(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!document) return 0;
    QuietMessages messages;
    ks::KeyTree tree(":memory:");
    ks::SettingsStore store(tree, messages);
    if (!store.EnsureRootKeys()) std::abort();
    ListSite site;
    // Twice, so that the second import renames every item of the first.
    for (int round = 0; round < 2; ++round) {
        ks::ImportMacros(store, site, *document, ks::ImportMode::Silent);
        ks::ImportRecordings(store, site, *document, ks::ImportMode::Silent);
    }
    checkRows(tree, site.macros, ks::StoreKey::macros());
    checkRows(tree, site.recordings, ks::StoreKey::journals());
    return 0;
}
