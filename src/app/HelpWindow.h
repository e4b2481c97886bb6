#pragma once

#include <QPointer>
#include <QString>

#include <cstdint>
#include <string>

namespace ks {

// The user guide's anchor for a heading, as Markdown renderers name them:
// lower case, blanks as hyphens, other punctuation dropped ("CTRL+C" is
// "ctrlc", "Getting started" is "getting-started").
QString headingAnchor(const QString& heading);

// The guide's section for a command's parameter dialog: the command's own
// heading; for 0 (the macro editor) and commands without one, the editor's.
std::string helpSection(std::uint32_t command);

// The guide installed beside the program, or else the one in the source
// tree the program was built from.
QString guideFile();

class HelpWindow;

// The program's one help window on the user guide; the shell owns it for
// the program's run.
class Guide {
public:
    // Opens the user guide at `section` (a heading anchor; empty: the top)
    // in the help window, which stays usable beside a modal dialog.
    void open(const std::string& section);

private:
    QPointer<HelpWindow> window_;
};

// Sections the program's &Help buttons open.
inline constexpr const char* kGuideTop = "";
inline constexpr const char* kMacroEditorSection = "the-macro-editor";
inline constexpr const char* kOptionsSection = "options";
inline constexpr const char* kRecordingsSection = "recordings";
inline constexpr const char* kSchedulesSection = "schedules";

}  // namespace ks
