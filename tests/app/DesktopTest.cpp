#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest/QTest>

#include "app/Autostart.h"
#include "app/HelpWindow.h"
#include "commands/CommandTable.h"

namespace ks::test {
namespace {

// Each lands on the heading the section names.
TEST(DesktopTest, HelpOpensTheGuideAtEverySectionItsButtonsAndLinksName) {
    QFile guide(guideFile());
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly)) << guide.fileName().toStdString();
    std::vector<std::string> sections{kMacroEditorSection, kOptionsSection, kRecordingsSection,
                                      kSchedulesSection};
    for (const CommandInfo& command : commandTable()) sections.push_back(helpSection(command.id));
    static const QRegularExpression link(QStringLiteral("\\]\\(#([^)]+)\\)"));
    for (const auto& match : link.globalMatch(QString::fromUtf8(guide.readAll())))
        sections.push_back(match.captured(1).toStdString());
    Guide help;
    help.open(kGuideTop);
    QTextBrowser* browser = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) browser = window->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    const QScrollBar* bar = browser->verticalScrollBar();
    for (const std::string& section : sections) {
        help.open(section);
        // The heading at the top, or the guide's end reached before it gets there.
        const QTextBlock top = browser->cursorForPosition(QPoint(4, 4)).block();
        EXPECT_TRUE(headingAnchor(top.text()).toStdString() == section ||
                    (bar->value() == bar->maximum() && bar->value() > 0))
            << section;
    }
    EXPECT_EQ(helpSection(kSendKeys), "send-keys");
    QTest::keyClick(browser, Qt::Key_Escape);
    EXPECT_FALSE(browser->isVisible());
}

TEST(DesktopTest, ExecValuesAreQuotedAsDesktopEntriesWant) {
    EXPECT_EQ(execValue(QStringLiteral("/my apps/k%1")), "\"/my apps/k%%1\"");
    EXPECT_EQ(execValue(QStringLiteral("/a\"$\\")), "\"/a\\\\\"\\\\$\\\\\\\\\"");
}

}  // namespace
}  // namespace ks::test
