#include "app/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Autostart.h"
#include "app/HelpWindow.h"
#include "app/Shell.h"
#include "core/PlusDigits.h"
#include "net/RequestServer.h"
#include "platform/PlatformFactory.h"
#include "store/SettingsStore.h"

namespace ks {

namespace {

QCheckBox* addCheckBox(QFormLayout* form, const char* label, const char* objectName) {
    auto* box = new QCheckBox;
    box->setObjectName(QLatin1String(objectName));
    form->addRow(QString::fromLatin1(label), box);
    return box;
}

QFormLayout* addGroup(QVBoxLayout* layout, const char* title) {
    auto* group = new QGroupBox(QString::fromLatin1(title));
    auto* form = new QFormLayout(group);
    layout->addWidget(group);
    return form;
}

QRadioButton* addRadio(QHBoxLayout* row, const char* label, const char* objectName) {
    auto* radio = new QRadioButton(QString::fromLatin1(label));
    radio->setObjectName(QLatin1String(objectName));
    row->addWidget(radio);
    return radio;
}

}  // namespace

std::optional<std::uint32_t> parsePort(const std::string& text) {
    const std::optional<std::uint64_t> value = parsePlusDigits(text);
    if (!value || *value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

OptionsDialog::OptionsDialog(Shell& shell, QWidget* parent) : QDialog(parent), shell_(shell) {
    setWindowTitle(QStringLiteral("Keystrider - Options"));
    auto* layout = new QVBoxLayout(this);

    hotKeys_ = addCheckBox(addGroup(layout, "Hot Key Triggers"), "&Enable:", "hotKeys");
    QFormLayout* serverGroup = addGroup(layout, "Server");
    server_ = addCheckBox(serverGroup, "E&nable:", "server");
    port_ = new QLineEdit;
    port_->setObjectName(QStringLiteral("port"));
    serverGroup->addRow(QStringLiteral("&Port:"), port_);
    peers_ = new QLineEdit;
    peers_->setObjectName(QStringLiteral("peers"));
    peers_->setToolTip(
        QStringLiteral("Addresses of the machines whose requests are served, separated by blanks "
                       "or commas. Empty: every machine that reaches the server."));
    serverGroup->addRow(QStringLiteral("&Allowed peers:"), peers_);
    allAddresses_ = addCheckBox(serverGroup, "Listen on all a&ddresses:", "allAddresses");
    allAddresses_->setToolTip(
        QStringLiteral("Off: only programs on this machine reach the server, unless Allowed "
                       "peers names other machines."));
    acceptPushes_ =
        addCheckBox(serverGroup, "Accept p&ushed macros from allowed peers:", "acceptPushes");
    acceptPushes_->setToolTip(
        QStringLiteral("Off: macros a peer pushes are refused until you accept that peer when "
                       "asked. A pushed macro can run any program as you."));
    phrases_ = addCheckBox(addGroup(layout, "Word or Phrase Triggers"), "Ena&ble:", "phrases");
    scheduler_ = addCheckBox(addGroup(layout, "Scheduler Triggers"), "Enab&le:", "scheduler");
    QFormLayout* macroGroup = addGroup(layout, "Macro Options");
    expansion_ = addCheckBox(macroGroup, "&Variable Expansion On:", "expansion");
    prompt_ = addCheckBox(macroGroup, "P&rompt before executing:", "prompt");
    auto* mouseRow = new QHBoxLayout;
    left_ = addRadio(mouseRow, "Lef&t", "mouseLeft");
    middle_ = addRadio(mouseRow, "&Middle", "mouseMiddle");
    right_ = addRadio(mouseRow, "Ri&ght", "mouseRight");
    macroGroup->addRow(QStringLiteral("Mouse Button used for special features:"), mouseRow);
    connect(left_, &QRadioButton::clicked, this, [this] { chooseMouse(kWmLButtonUp); });
    connect(middle_, &QRadioButton::clicked, this, [this] { chooseMouse(kWmMButtonUp); });
    connect(right_, &QRadioButton::clicked, this, [this] { chooseMouse(kWmRButtonUp); });
    QFormLayout* desktopGroup = addGroup(layout, "Desktop");
    startWithDesktop_ = addCheckBox(desktopGroup, "Start &with the desktop:", "startWithDesktop");
    platform_ = new QComboBox;
    platform_->setObjectName(QStringLiteral("platform"));
    platform_->addItem(QStringLiteral("The session's"), QString());
    platform_->addItem(QStringLiteral("X11"), QStringLiteral("x11"));
    platform_->addItem(QStringLiteral("Wayland"), QStringLiteral("wayland"));
    desktopGroup->addRow(QStringLiteral("D&isplay system (from the next start):"), platform_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* saveButton = new QPushButton(QStringLiteral("&Save"));
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"));
    auto* help = new QPushButton(QStringLiteral("&Help"));
    help->setAutoDefault(false);
    buttons->addWidget(saveButton);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addLayout(buttons);
    saveButton->setDefault(true);
    connect(help, &QPushButton::clicked, this, [] { openHelp(kOptionsSection); });
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    load();
}

void OptionsDialog::load() {
    SettingsStore& store = shell_.store();
    // Missing, the option means on (as at start), so Save must not turn it off unasked.
    hotKeys_->setChecked(readOption(store, "HotKeyOn").value_or(1) == 1);
    server_->setChecked(store.OptionOn("SrvOn"));
    phrases_->setChecked(store.OptionOn("WPhraseOn"));
    expansion_->setChecked(store.OptionOn("ExpansionOn"));
    scheduler_->setChecked(store.OptionOn("SchedOn"));
    prompt_->setChecked(store.OptionOn("PromptBefMac"));
    if (const auto port = readOption(store, "SrvPort")) port_->setText(QString::number(*port));
    peers_->setText(
        QString::fromStdString(store.GetText(kDirectRoot, "SrvPeers").value_or(std::string())));
    allAddresses_->setChecked(store.OptionOn("SrvAllAddresses"));
    acceptPushes_->setChecked(store.OptionOn("SrvAcceptPush"));
    startWithDesktop_->setChecked(startsWithDesktop());
    const std::string platform = store.GetText(kDirectRoot, kPlatformOption).value_or("");
    platform_->setCurrentIndex(std::max(0, platform_->findData(QString::fromStdString(platform))));
    switch (readOption(store, "SPMouse").value_or(kWmRButtonUp)) {
        case kWmLButtonUp: left_->setChecked(true); break;
        case kWmMButtonUp: middle_->setChecked(true); break;
        case kWmRButtonUp: right_->setChecked(true); break;
        default: break;
    }
}

// Takes effect at once, before and without Save.
void OptionsDialog::chooseMouse(std::uint32_t button) {
    shell_.switches().specialMouse = button;
}

bool OptionsDialog::writeSwitch(const char* name, const QCheckBox* box) {
    return shell_.writeOption(name, box->isChecked() ? 1 : 0);
}

// The autostart entry is the desktop's, not the store's: it is written or
// removed only when the box no longer says what the entry does.
bool OptionsDialog::saveStartWithDesktop() {
    const bool on = startWithDesktop_->isChecked();
    if (on == startsWithDesktop()) return true;
    const Result done = setStartWithDesktop(on, QCoreApplication::applicationFilePath());
    if (!done) {
        shell_.messages().show("Unable to change the autostart entry " +
                                   autostartFile().toStdString() + ": " + done.error(),
                               "Error", MsgIcon::Stop, MsgButtons::Ok, MsgOwner::MainWindow);
    }
    return done.ok();
}

bool OptionsDialog::save() {
    Switches& switches = shell_.switches();
    if (!writeSwitch("HotKeyOn", hotKeys_)) return false;
    shell_.hotKeys().setEnabled(hotKeys_->isChecked());

    if (!writeSwitch("SrvOn", server_)) return false;
    switches.server = server_->isChecked();

    const auto port = parsePort(port_->text().toStdString());
    if (!port) {
        shell_.messages().show("Port must be a positive integer.", "Error", MsgIcon::Stop,
                               MsgButtons::Ok, MsgOwner::MainWindow);
        return false;
    }
    const std::string peers = peers_->text().trimmed().toStdString();
    if (!parsePeerList(peers)) {
        shell_.messages().show("Allowed peers must be IP addresses separated by blanks or commas.",
                               "Error", MsgIcon::Stop, MsgButtons::Ok, MsgOwner::MainWindow);
        return false;
    }
    if (!shell_.writeOption("SrvPort", *port)) return false;
    if (!shell_.writeTextOption("SrvPeers", peers)) return false;
    if (!writeSwitch("SrvAllAddresses", allAddresses_)) return false;
    if (!writeSwitch("SrvAcceptPush", acceptPushes_)) return false;
    shell_.reopenServer(*port);

    if (!writeSwitch("PromptBefMac", prompt_)) return false;
    switches.prompt = prompt_->isChecked();

    if (!writeSwitch("WPhraseOn", phrases_)) return false;
    shell_.restartPhraseWatch(phrases_->isChecked());
    switches.phrases = phrases_->isChecked();

    if (!writeSwitch("ExpansionOn", expansion_)) return false;
    shell_.setExpansion(expansion_->isChecked());

    shell_.setScheduler(scheduler_->isChecked());
    if (!writeSwitch("SchedOn", scheduler_)) return false;

    if (!shell_.writeOption("SPMouse", switches.specialMouse)) return false;
    const QString platform = platform_->currentData().toString();
    if (!shell_.writeTextOption(kPlatformOption, platform.toStdString())) return false;
    if (!saveStartWithDesktop()) return false;
    accept();
    return true;
}

}  // namespace ks
