#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "RecorderDoubles.h"
#include "RecordingInput.h"
#include "UsKeymap.h"
#include "editors/ParameterDialog.h"
#include "platform/qt/QtDialogs.h"

namespace ks::test {

// The desktop the editors' dialogs reach, of doubles: no window titles and
// no recordings to list, Help counted, and the right button picks a point.
class EditorDesktop final : public ParameterSources {
public:
    std::vector<std::string> windowTitles() override { return {}; }
    std::vector<RecordingRow> recordings() override { return {}; }
    void showHelp(std::uint32_t) override { ++helpShown; }

    PickServices pick() { return {keymap, capture, injector, mainWindow, kWmRButtonUp}; }
    ParameterHooks hooks() { return {*this, dialogs, pick(), windows}; }

    FixedKeymap keymap;
    FakeCapture capture;
    RecordingInjector injector;
    FakeWindowControl windows;
    QtDialogs dialogs;
    QWidget mainWindow;
    int helpShown = 0;
};

}  // namespace ks::test
