#include <QMessageBox>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

#include "app/MainWindow.h"
#include "app/Shell.h"
#include "interchange/ExchangeDialogs.h"
#include "journal/RecordingStore.h"
#include "store/SettingsStore.h"
#include "store/StoreKey.h"

namespace ks {

namespace {

std::vector<std::string> rowNames(const QTreeWidget& list, bool selectedOnly) {
    std::vector<std::string> names;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list.topLevelItem(i);
        if (!selectedOnly || item->isSelected()) names.push_back(item->text(0).toStdString());
    }
    return names;
}

std::string captionOf(const char* verb, ExportKind kind) {
    return std::string("Keystrider - ") + verb +
           (kind == ExportKind::Macros ? " Macros" : " Recordings");
}

}  // namespace

// The main window's lists, as an import sees them. An interactive import shows its progress in a
// dialog that can cancel; a silent one, made while the server answers its peer, runs no events of
// its own.
class MainWindow::ListsImportSite final : public ImportSite {
public:
    ListsImportSite(MainWindow& window, const std::string& caption, ImportMode mode)
        : window_(window) {
        if (mode == ImportMode::Interactive) progress_.emplace(&window, caption);
    }

    std::vector<std::string> macroRows() override { return rowNames(*window_.macros_, false); }
    std::vector<std::string> recordingRows() override { return window_.recordingNames(); }
    void addMacroRow(const std::string& macro) override { window_.addMacroRow(macro); }
    void addRecordingRow(const std::string& recording, std::uint32_t type) override {
        window_.addRecordingRow(recording, type);
    }
    std::optional<std::vector<std::size_t>> chooseItems(
        const std::string& title, const std::vector<std::string>& names) override {
        return chooseImportItems(&window_, title, names);
    }
    bool progress(std::size_t done, std::size_t total) override {
        return !progress_ || progress_->step(done, total);
    }

private:
    MainWindow& window_;
    std::optional<ExchangeProgress> progress_;
};

void MainWindow::exportSelected(ExportKind kind) {
    Messages& messages = shell_.messages();
    const bool macros = kind == ExportKind::Macros;
    const std::vector<std::string> names = rowNames(macros ? *macros_ : *recordings_, true);
    if (names.empty()) {
        messages.show(macros ? "No macros selected." : "No recordings selected.",
                      "Keystrider - Error", MsgIcon::Stop, MsgButtons::Ok, MsgOwner::MainWindow);
        return;
    }
    ExchangePathDialog dialog(this, messages, ExchangeDirection::Export, kind);
    if (dialog.exec() != QDialog::Accepted) return;
    if (exportItems(messages, kind, names, ExportTarget::file(dialog.path()))) {
        messages.show("Complete.", captionOf("Export", kind), MsgIcon::Information, MsgButtons::Ok,
                      MsgOwner::MainWindow);
    }
}

void MainWindow::importFromFile(ExportKind kind) {
    Messages& messages = shell_.messages();
    ExchangePathDialog dialog(this, messages, ExchangeDirection::Import, kind);
    if (dialog.exec() != QDialog::Accepted) return;
    const auto document = loadDocument(dialog.path(), messages);
    const ImportOutcome outcome =
        document ? importDocument(shell_.store(), kind, *document, ImportMode::Interactive)
                 : ImportOutcome::Failed;
    if (outcome == ImportOutcome::Cancelled) return;
    messages.show(outcome == ImportOutcome::Done ? "Complete." : "Failed.",
                  captionOf("Import", kind), MsgIcon::Information, MsgButtons::Ok,
                  MsgOwner::MainWindow);
}

std::vector<std::string> MainWindow::importPosted(const XmlDocument& document) {
    GatheredMessages gathered;
    SettingsStore quiet(shell_.store().tree(), gathered);
    importDocument(quiet, ExportKind::Macros, document, ImportMode::Silent);
    importDocument(quiet, ExportKind::Recordings, document, ImportMode::Silent);
    return gathered.texts();
}

std::vector<std::string> MainWindow::pushAll(ExportKind kind, const std::string& host,
                                             const std::string& port) {
    // A push waits for its peer in an event loop of its own, in which the
    // next peer's request could start another.
    if (pushing_) {
        std::fprintf(stderr, "Keystrider: a push to %s:%s is refused while another runs\n",
                     host.c_str(), port.c_str());
        return {};
    }
    pushing_ = true;
    GatheredMessages gathered;
    const bool macros = kind == ExportKind::Macros;
    exportItems(gathered, kind, rowNames(macros ? *macros_ : *recordings_, false),
                ExportTarget::peer(host, port));
    pushing_ = false;
    return gathered.texts();
}

void MainWindow::askToAcceptPushes(const std::string& peer) {
    if (!askedToAcceptPushes_.insert(peer).second) return;
    auto* question = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Keystrider - Pushed Macros"),
        QString::fromStdString("The computer at " + peer +
                               " sent macros to import, and they were refused.\n\nImport "
                               "macros and recordings it sends from now on? Its macros can run "
                               "any program as you."),
        QMessageBox::Yes | QMessageBox::No, this);
    question->setDefaultButton(QMessageBox::No);
    question->setWindowModality(Qt::NonModal);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QMessageBox::finished, this, [this, peer](int answer) {
        if (answer == QMessageBox::Yes) shell_.acceptPushesFrom(peer);
    });
    question->show();
}

ImportOutcome MainWindow::importDocument(SettingsStore& store, ExportKind kind,
                                         const XmlDocument& document, ImportMode mode) {
    ListsImportSite site(*this, captionOf("Import", kind), mode);
    const ImportOutcome outcome = kind == ExportKind::Macros
                                      ? importMacros(store, site, shell_.triggers(), document, mode)
                                      : importRecordings(store, site, document, mode);
    if (kind == ExportKind::Macros) refreshTriggerColumn(false);
    return outcome;
}

bool MainWindow::exportItems(Messages& messages, ExportKind kind,
                             const std::vector<std::string>& names, const ExportTarget& target) {
    ExchangeProgress progress(this, captionOf("Export", kind));
    SettingsStore store(shell_.store().tree(), messages);
    ExportServices services{
        store, messages,
        [this, &messages](const std::string& host, const std::string& port,
                          const std::string& body) -> std::optional<std::string> {
            return shell_.services().peers.post(messages, host, port, body);
        },
        [&progress](std::size_t done, std::size_t total) { return progress.step(done, total); }};
    return ExportItems(services, kind, names, target);
}

}  // namespace ks
