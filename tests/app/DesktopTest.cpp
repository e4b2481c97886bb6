// The user guide's sections as the &Help buttons open them, and the
// autostart entry's Exec value.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>

#include <set>

#include "app/Autostart.h"
#include "app/HelpWindow.h"
#include "commands/CommandTable.h"
#include "editors/ParameterTable.h"

namespace ks::test {
namespace {

// The anchors of the guide's headings.
std::set<QString> guideAnchors(const QString& guide) {
    std::set<QString> anchors;
    static const QRegularExpression heading(QStringLiteral("^#+ (.+)$"),
                                            QRegularExpression::MultilineOption);
    for (const auto& match : heading.globalMatch(guide))
        anchors.insert(headingAnchor(match.captured(1)));
    return anchors;
}

// Every section a Help button opens, and every link inside the guide, is
// one of its headings.
TEST(DesktopTest, EveryHelpTargetAndGuideLinkIsAHeadingOfTheGuide) {
    QFile file(guideFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QString guide = QString::fromUtf8(file.readAll());
    const std::set<QString> anchors = guideAnchors(guide);
    EXPECT_TRUE(anchors.count(QString::fromLatin1(kMacroEditorSection)));
    int dialogs = 0;
    for (const CommandInfo& command : commandTable()) {
        if (parameterSpec(command.id) == nullptr) continue;
        ++dialogs;
        EXPECT_TRUE(anchors.count(QString::fromStdString(helpSection(command.id)))) << command.name;
    }
    EXPECT_GT(dialogs, 25);
    static const QRegularExpression link(QStringLiteral("\\]\\(#([^)]+)\\)"));
    for (const auto& match : link.globalMatch(guide)) {
        EXPECT_TRUE(anchors.count(match.captured(1))) << match.captured(1).toStdString();
    }
    EXPECT_EQ(headingAnchor(QStringLiteral("CTRL+C")), QStringLiteral("ctrlc"));
    EXPECT_EQ(headingAnchor(QStringLiteral("The store and keystrider-store")),
              QStringLiteral("the-store-and-keystrider-store"));
}

TEST(DesktopTest, TheHelpWindowOpensAtTheCommandsHeading) {
    OpenHelp(helpSection(kSendKeys));
    QTextBrowser* browser = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == QLatin1String("Keystrider - Help")) {
            browser = window->findChild<QTextBrowser*>();
        }
    }
    ASSERT_NE(browser, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(browser->cursorForPosition(QPoint(4, 4)).block().text(), QStringLiteral("SEND KEYS"));
    browser->window()->close();
}

TEST(DesktopTest, ExecValuesAreQuotedWhereTheDesktopEntryRulesWantIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/keystrider", "/usr/bin/keystrider"},
        {"/opt/my apps/ks%1", "\"/opt/my apps/ks%%1\""},
        {"/a/\"b$", "\"/a/\\\\\"b\\\\$\""},
        {"/a\\b c", "\"/a\\\\\\\\b c\""},
    };
    for (const auto& [program, exec] : cases) {
        EXPECT_EQ(execValue(QString::fromUtf8(program)).toStdString(), exec) << program;
    }
}

}  // namespace
}  // namespace ks::test
