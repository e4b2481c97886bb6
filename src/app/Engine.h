#pragma once

#include <memory>

#include "app/ShellHooks.h"
#include "commands/CommandDispatch.h"
#include "expand/ExpansionEngine.h"
#include "expand/VariableTable.h"
#include "keys/KeyboardMouseCommands.h"
#include "platform/Clock.h"
#include "platform/linux/LinuxSystemValues.h"
#include "platform/x11/X11Platform.h"
#include "runner/MacroRunner.h"
#include "runner/MessageQueue.h"

namespace ks {

class Application;

// The services that run macros on the GUI thread — message queue, variable
// table, expansion, command handlers and the runner — put together, and
// joined to the application shell through its hooks.
class Engine {
public:
    // `input` is the program's own connection to the X server; without it
    // the keyboard and mouse commands do nothing.
    Engine(SettingsStore& store, Messages& messages, std::unique_ptr<x11::X11Platform> input);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Fills the hooks through which the shell starts macros and asks about runs.
    void connectHooks(ShellHooks& hooks);
    // What needs the application object itself: SHUTDOWN KEYSTRIDER and the
    // command-line macro message.
    void connectApplication(Application& application);

    MessageQueue& queue() { return queue_; }
    MacroRunner& runner() { return runner_; }
    ExpansionEngine& expansion() { return expansion_; }

private:
    void registerInputCommands();

    SettingsStore& store_;
    Messages& messages_;
    MessageQueue queue_;
    SystemClock clock_;
    LinuxSystemValues systemValues_;
    VariableTable variables_;
    ExpansionEngine expansion_;
    CommandDispatch dispatch_;
    MacroRunner runner_;
    std::unique_ptr<x11::X11Platform> input_;
    std::unique_ptr<KeyboardMouseCommands> inputCommands_;
};

}  // namespace ks
