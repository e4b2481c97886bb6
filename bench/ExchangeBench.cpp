// Export and import figures, on stores in a temporary folder:
//  1. 1,000 macros of 20 commands each, exported to a new file and imported
//     into an empty store;
//  2. one recording of 1,000,000 events, the same both ways, with the peak
//     memory each way takes beyond what the process held before;
//  3. a posted document of 10,000 macros of one name imported into a store
//     that has that name, so that every one is renamed;
//  4. how fast the reader refuses a document over its bounds: an element
//     of 80,000 attributes, and a document of too many elements.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ListImportSite.h"
#include "MapTriggerOwners.h"
#include "interchange/Interchange.h"
#include "journal/RecordingStore.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace {

using Steady = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

class QuietMessages final : public ks::Messages {
public:
    using Messages::show;
    ks::MsgAnswer show(const ks::MessageBox& box) override {
        std::fprintf(stderr, "%s\n", ks::messageLine(box).c_str());
        return ks::MsgAnswer::Yes;
    }
};

// The process's peak resident memory in KiB since the last reset.
long peakKib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

long currentKib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Store {
    explicit Store(const std::filesystem::path& file)
        : tree(file.string()), settings(tree, messages) {
        settings.EnsureRootKeys();
    }
    QuietMessages messages;
    ks::KeyTree tree;
    ks::SettingsStore settings;
};

void fillMacros(Store& store, int macros, int commands) {
    ks::KeyTree::Transaction batch(store.tree);
    for (int m = 0; m < macros; ++m) {
        const ks::MacroKey macro("Macro " + std::to_string(m));
        store.tree.setValue(macro.key().treePath(), "repeat", ks::kTypeDword, ks::dwordBytes(1));
        for (int c = 0; c < commands; ++c) {
            const std::string path = macro.command(c).key().treePath();
            if (c % 2 == 0) {
                store.tree.setValue(path, "id", ks::kTypeDword, ks::dwordBytes(65 + c % 26));
                store.tree.setValue(path, "KeyPressed", ks::kTypeDword, ks::dwordBytes(1));
            } else {
                store.tree.setValue(path, "id", ks::kTypeDword, ks::dwordBytes(0x1000));
                store.tree.setValue(path, "DelayInterval", ks::kTypeText, ks::textBytes("250"));
            }
        }
    }
    batch.commit();
}

template <typename Step>
double timed(Step step) {
    const auto start = Steady::now();
    step();
    return Seconds(Steady::now() - start).count();
}

bool importFile(Store& store, const std::string& path, bool macros) {
    ks::test::ListImportSite site;
    ks::test::MapTriggerOwners triggers;
    auto document = ks::loadDocument(path, store.messages);
    if (!document) return false;
    const auto mode = ks::ImportMode::Silent;
    const auto outcome = macros ? ks::importMacros(store.settings, site, triggers, *document, mode)
                                : ks::importRecordings(store.settings, site, *document, mode);
    return outcome == ks::ImportOutcome::Done;
}

void benchMacros(Store& source, Store& target, const std::filesystem::path& folder) {
    fillMacros(source, 1000, 20);
    std::vector<std::string> names;
    for (int m = 0; m < 1000; ++m) names.push_back("Macro " + std::to_string(m));
    const std::string file = (folder / "macros.xml").string();
    ks::ExportServices services{source.settings, source.messages, {}, {}};
    const double out = timed([&] {
        ks::ExportItems(services, ks::ExportKind::Macros, names, ks::ExportTarget::file(file));
    });
    bool ok = false;
    const double in = timed([&] { ok = importFile(target, file, true); });
    std::printf("1,000 macros x 20 commands: export %.3f s, import %.3f s%s (%ld KiB file)\n", out,
                in, ok ? "" : " FAILED",
                static_cast<long>(std::filesystem::file_size(file) / 1024));
}

void benchRecording(Store& source, Store& target, const std::filesystem::path& folder) {
    std::vector<ks::JournalEvent> events(1000000);
    for (std::size_t i = 0; i < events.size(); ++i) {
        events[i] = {0x100u + static_cast<std::uint32_t>(i % 2), static_cast<std::uint32_t>(i), 30,
                     static_cast<std::uint32_t>(i * 3), 0};
    }
    ks::WriteRecording(source.settings, "Long", events, 1);
    events = {};
    ks::ExportServices services{source.settings, source.messages, {}, {}};
    const std::string recording = (folder / "recording.xml").string();
    const long size = 1000000L * 20 / 1024;
    long base = currentKib();
    resetPeak();
    const double recOut = timed([&] {
        ks::ExportItems(services, ks::ExportKind::Recordings, {"Long"},
                        ks::ExportTarget::file(recording));
    });
    const long outPeak = peakKib() - base;
    base = currentKib();
    resetPeak();
    bool ok = false;
    const double recIn = timed([&] { ok = importFile(target, recording, false); });
    const long inPeak = peakKib() - base;
    std::printf(
        "1,000,000-event recording (%ld KiB): export %.3f s, peak +%ld KiB (%.1fx); "
        "import %.3f s%s, peak +%ld KiB (%.1fx)\n",
        size, recOut, outPeak, double(outPeak) / double(size), recIn, ok ? "" : " FAILED", inPeak,
        double(inPeak) / double(size));
}

void benchSameName(Store& target) {
    const int count = 10000;
    std::string text = "<KEYSTRIDER ID=\"1003\"><MACROS>";
    for (int m = 0; m < count; ++m) {
        text +=
            "<MACRO Name=\"Same\"><repeat>1</repeat><COMMANDS><INS0><id>65</id>"
            "<KeyPressed>1</KeyPressed></INS0></COMMANDS></MACRO>";
    }
    text += "</MACROS><RECORDINGS/></KEYSTRIDER>";
    target.settings.CreateMacroKey("Same");
    bool ok = false;
    const double in = timed([&] {
        ks::XmlError error;
        const auto document = ks::XmlDocument::parse(text, error);
        ks::test::ListImportSite site;
        ks::test::MapTriggerOwners triggers;
        ok = document && ks::importMacros(target.settings, site, triggers, *document,
                                          ks::ImportMode::Silent) == ks::ImportOutcome::Done;
    });
    const bool last = target.tree.keyExists(ks::MacroKey("Same10000").key().treePath());
    std::printf("10,000 macros of one name (%ld KiB posted): parse and import %.3f s%s\n",
                static_cast<long>(text.size() / 1024), in, ok && last ? "" : " FAILED");
}

void benchRefusals() {
    std::string attributes = "<a";
    for (int i = 0; i < 80000; ++i) attributes += " a" + std::to_string(i) + "=\"x\"";
    attributes += "/>";
    std::string elements = "<a>";
    for (std::size_t i = 0; i <= ks::kXmlMaxElements; ++i) elements += "<b/>";
    elements += "</a>";
    for (const auto& [what, bytes] :
         {std::pair("80,000 attributes", &attributes), std::pair("too many elements", &elements)}) {
        ks::XmlError error;
        bool refused = false;
        const double seconds =
            timed([&] { refused = !ks::XmlDocument::parse(*bytes, error).has_value(); });
        std::printf("%s (%ld KiB): %s in %.4f s (%s)\n", what,
                    static_cast<long>(bytes->size() / 1024), refused ? "refused" : "READ", seconds,
                    error.reason.c_str());
    }
}

}  // namespace

// `macros`, `recording`, `same-name` or `refusals` as the argument runs that part alone.
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    char pattern[] = "/tmp/ks-exchange-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    {
        Store source(folder / "source.db");
        Store target(folder / "target.db");
        if (only.empty() || only == "macros") benchMacros(source, target, folder);
        if (only.empty() || only == "recording") benchRecording(source, target, folder);
    }
    if (only.empty() || only == "same-name") {
        Store target(folder / "same-name.db");
        benchSameName(target);
    }
    if (only.empty() || only == "refusals") benchRefusals();
    std::filesystem::remove_all(folder);
    return 0;
}
