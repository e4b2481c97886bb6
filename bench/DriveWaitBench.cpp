// The CPU time WAIT FOR DRIVE MAP costs while it waits: a macro waits for a
// network folder that never appears, run by the real runner on the real
// clock, until it is stopped after 10 seconds; the process's CPU clock is
// read before and after.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "RecordingInput.h"
#include "platform/linux/GvfsShares.h"
#include "platform/qt/QtClock.h"
#include "runner/MacroRunner.h"
#include "runner/MessageQueue.h"
#include "runner/PendingRequest.h"
#include "store/KeyTree.h"
#include "store/SettingsStore.h"
#include "system/FakeSystem.h"
#include "system/SystemCommands.h"

namespace {

std::filesystem::path makeFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ks-wait-bench-XXXXXX").string();
    return mkdtemp(pattern.data());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::filesystem::path folder = makeFolder();
    ks::StderrMessages messages;
    ks::KeyTree tree((folder / "store.db").string());
    ks::SettingsStore store(tree, messages);
    store.EnsureRootKeys();
    ks::bench::IdentityExpander expander;
    ks::QtClock clock;
    ks::MessageQueue queue;
    ks::CommandDispatch dispatch;
    ks::bench::RunEnd end;
    ks::MacroRunner runner(store, messages, expander, queue, dispatch, clock);
    runner.setPendingRequest(&end);

    ks::test::FakeWindowControl windows;
    ks::test::FakeSystem others;
    ks::GvfsShares shares;  // the session's real GVfs folder, looked through at every look
    ks::SystemCommands commands(store, messages, expander, runner, clock,
                                {windows, others, shares, others, others, others, others});
    dispatch.setHandler(ks::kWaitForDriveMap, [&](const std::string& path, std::uint32_t id) {
        return commands.run(id, path);
    });
    const std::string key = std::string(ks::kDirectRoot) + "Macros\\wait\\Commands\\0";
    store.SetDword(key, "id", ks::kWaitForDriveMap);
    store.SetText(key, "WaitDriveName", "\\\\nosuchserver\\share\\folder");
    store.SetText(key, "WaitDriveTimeOut", "0");
    store.SetDword(key, "WaitForConnect", 1);
    store.SetDword(key, "AbortOnFail", 1);

    const double cpuBefore = ks::bench::processCpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    QTimer::singleShot(10300, [&runner] { runner.EndRun(); });  // 300 ms: the pass-start wait
    ks::PostStringsToThread(queue, ks::kMsgRunMacroByName, "wait");
    end.loop.exec();
    const double cpu = ks::bench::processCpuSeconds() - cpuBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("WAIT FOR DRIVE MAP run of %.2f s: %.1f ms CPU = %.3f %% of one core\n", wall,
                cpu * 1000.0, 100.0 * cpu / wall);
    std::filesystem::remove_all(folder);
    return 0;
}
