// The CPU time WAIT FOR DRIVE MAP costs while it waits: a macro waits for a
// network folder that never appears, run by the real runner on the real
// clock, until it is stopped after 10 seconds; the process's CPU clock is
// read before and after.
#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "RecordingInput.h"
#include "platform/linux/GvfsShares.h"
#include "runner/MessageQueue.h"
#include "store/SettingsStore.h"
#include "system/FakeSystem.h"
#include "system/SystemCommands.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ks::bench::RunnerRig rig;
    auto& store = rig.store;

    ks::test::FakeWindowControl windows;
    ks::test::FakeSystem others;
    ks::GvfsShares shares;  // the session's real GVfs folder, looked through at every look
    ks::SystemCommands commands(rig.messages, rig.runner, rig.clock,
                                {windows, others, shares, others, others, others, others});
    rig.dispatch.add(commands);
    const std::string key = std::string(ks::kDirectRoot) + "Macros\\wait\\Commands\\0";
    store.SetDword(key, "id", ks::kWaitForDriveMap);
    store.SetText(key, "WaitDriveName", "\\\\nosuchserver\\share\\folder");
    store.SetText(key, "WaitDriveTimeOut", "0");
    store.SetDword(key, "WaitForConnect", 1);
    store.SetDword(key, "AbortOnFail", 1);

    const double cpuBefore = ks::bench::processCpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    QTimer::singleShot(10300, [&rig] { rig.runner.EndRun(); });  // 300 ms: the pass-start wait
    rig.runMacro("wait");
    const double cpu = ks::bench::processCpuSeconds() - cpuBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("WAIT FOR DRIVE MAP run of %.2f s: %.1f ms CPU = %.3f %% of one core\n", wall,
                cpu * 1000.0, 100.0 * cpu / wall);
    return 0;
}
