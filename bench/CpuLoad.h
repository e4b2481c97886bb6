#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace ks::bench {

// Processes that keep a core busy each while this lives, for the figures of
// a loaded machine.
class CpuLoad {
public:
    explicit CpuLoad(int processes) {
        for (int i = 0; i < processes; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                volatile unsigned long spin = 0;
                for (;;) spin = spin + 1;
            }
            if (child > 0) children_.push_back(child);
        }
    }
    ~CpuLoad() {
        for (pid_t child : children_) kill(child, SIGKILL);
        for (pid_t child : children_) waitpid(child, nullptr, 0);
    }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::vector<pid_t> children_;
};

}  // namespace ks::bench
