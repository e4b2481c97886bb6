#pragma once

#include "CommandFixture.h"
#include "EventRun.h"
#include "FakeSystemValues.h"
#include "text/TextCommands.h"

namespace ks::test {

// The text commands with expansion on, over the clipboard `ClipboardType`.
template <typename ClipboardType>
class TextFixture : public CommandFixture {
protected:
    TextFixture() {
        expansion.setEnabled(true);
        expanding = &expansion;
    }

    void run(CommandId id, const TextValues& values = {}) { runCommand(commands, id, values); }

    FakeSystemValues system;
    VariableTable variables{messages};
    ExpansionEngine expansion{messages, system, variables};
    ClipboardType clipboard;
    EventRun runControl;
    TextCommands commands{messages, expansion, variables, clipboard, runControl};
};

}  // namespace ks::test
