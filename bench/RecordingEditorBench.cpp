// Recording editor figures on the offscreen platform, over a store in a
// temporary folder: how long a recording of 1,000,000 events takes to open
// (load, list model, first paint), and how long each step of scrolling
// through it from top to bottom takes.
#include <QApplication>
#include <QScrollBar>
#include <QTableView>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "EditorDesktop.h"
#include "core/Messages.h"
#include "editors/RecordingEditor.h"
#include "journal/RecordingStore.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace {

using Steady = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr std::uint32_t kEvents = 1000000;
constexpr int kScrollSteps = 2000;

std::filesystem::path makeFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ks-editor-bench-XXXXXX").string();
    return mkdtemp(pattern.data());
}

// Alternating key presses and pointer moves, 7 ms apart.
std::vector<ks::JournalEvent> manyEvents() {
    std::vector<ks::JournalEvent> events;
    events.reserve(kEvents);
    for (std::uint32_t i = 0; i < kEvents; ++i) {
        events.push_back(i % 2 ? ks::JournalEvent{ks::kWmMouseMove, i % 1024, i % 768, i * 7, 1}
                               : ks::JournalEvent{ks::kWmKeyDown, 0x41, 30, i * 7, 1});
    }
    return events;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::filesystem::path folder = makeFolder();
    int status = 0;
    {
        ks::StderrMessages messages;
        ks::KeyTree tree((folder / "store.db").string());
        ks::SettingsStore store(tree, messages);
        store.EnsureRootKeys();
        if (!ks::WriteRecording(store, "Big", manyEvents(), 1)) return 1;
        ks::EventClipboard clipboard;
        ks::test::EditorDesktop desktop;
        ks::test::FixedKeymap noKeys{ks::KeyLayout{}};

        const auto opening = Steady::now();
        ks::RecordingEditor editor(
            ks::RecordingEditor::Services{
                store, clipboard,
                ks::EventDialogServices{messages,
                                        ks::ScreenSize{1024, 768},
                                        {noKeys, desktop.capture, desktop.injector,
                                         desktop.mainWindow, ks::kWmRButtonUp}}},
            "Big", ks::RecordingType::KeyboardAndMouse);
        editor.show();
        QApplication::processEvents();
        const double openMs = Millis(Steady::now() - opening).count();

        QScrollBar* bar = editor.eventList()->verticalScrollBar();
        std::vector<double> steps;
        steps.reserve(kScrollSteps);
        for (int step = 1; step <= kScrollSteps; ++step) {
            const auto started = Steady::now();
            bar->setValue(
                static_cast<int>(static_cast<long long>(bar->maximum()) * step / kScrollSteps));
            editor.eventList()->viewport()->repaint();
            steps.push_back(Millis(Steady::now() - started).count());
        }
        std::sort(steps.begin(), steps.end());
        const std::size_t rows = editor.model().events().size();
        std::printf("rows %zu, open %.0f ms\n", rows, openMs);
        std::printf("scroll step (of %d, top to bottom): median %.2f ms, max %.2f ms\n",
                    kScrollSteps, steps[steps.size() / 2], steps.back());
        status = rows == kEvents ? 0 : 1;
    }
    std::filesystem::remove_all(folder);
    return status;
}
