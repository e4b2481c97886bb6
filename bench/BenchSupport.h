#pragma once

#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <string>

#include <QEventLoop>

#include "core/Messages.h"
#include "expand/Expander.h"
#include "platform/qt/QtClock.h"
#include "runner/MacroRunner.h"
#include "runner/MessageQueue.h"
#include "runner/PendingRequest.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks::bench {

// Leaves every command text as it is stored.
class IdentityExpander final : public Expander {
public:
    void Expand(std::string&) override {}
};

// Ends the event loop when a run ends.
class RunEnd final : public PendingRequest {
public:
    void complete(const std::string&, RunOutcome) override { loop.quit(); }
    QEventLoop loop;
};

// The CPU time this process has used, user and system, in seconds.
inline double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The real runner on the real clock, over a store in a folder of its own
// that goes away with it.
struct RunnerRig {
    RunnerRig() {
        store.EnsureRootKeys();
        runner.setPendingRequest(&end);
    }
    ~RunnerRig() { std::filesystem::remove_all(folder); }

    // Starts macro `name` and returns once its run has ended.
    void runMacro(const std::string& name) {
        queue.post(msg::StartMacro{name});
        end.loop.exec();
    }

    static std::filesystem::path makeFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ks-bench-XXXXXX").string();
        return mkdtemp(pattern.data());
    }

    std::filesystem::path folder = makeFolder();
    StderrMessages messages;
    KeyTree tree{(folder / "store.db").string()};
    SettingsStore store{tree, messages};
    IdentityExpander expander;
    QtClock clock;
    ApplicationQueue queue;
    CommandDispatch dispatch;
    RunEnd end;
    MacroRunner runner{store, messages, expander, queue, dispatch, clock};
};

}  // namespace ks::bench
