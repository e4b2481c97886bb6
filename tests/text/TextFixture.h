#pragma once

#include <map>
#include <string>

#include "CommandFixture.h"
#include "EventRun.h"
#include "FakeSystemValues.h"
#include "text/TextCommands.h"

namespace ks::test {

// The text commands with expansion on, over the clipboard `ClipboardType`.
template <typename ClipboardType>
class TextFixture : public CommandFixture {
protected:
    TextFixture() { expansion.setEnabled(true); }

    // Writes the command's values, then runs it.
    void run(CommandId id, const std::map<std::string, std::string>& values) {
        for (const auto& [name, text] : values) writeText(name.c_str(), text);
        commands.run(id, kCommand);
    }

    FakeSystemValues system;
    VariableTable variables{messages};
    ExpansionEngine expansion{messages, system, variables};
    ClipboardType clipboard;
    EventRun runControl;
    TextCommands commands{*store, messages, expansion, variables, clipboard, runControl};
};

}  // namespace ks::test
