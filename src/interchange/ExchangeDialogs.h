#pragma once

#include <QDialog>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interchange/Interchange.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QProgressDialog;
class QWidget;

namespace ks {

enum class ExchangeDirection { Export, Import };

// The small dialog that asks where an export goes or an import comes from:
// the file check box, the path field and its "..." file dialog.
class ExchangePathDialog final : public QDialog {
public:
    ExchangePathDialog(QWidget* parent, Messages& messages, ExchangeDirection direction,
                       ExportKind kind);

    std::string path() const;
    QCheckBox* fileBox() const { return fileBox_; }
    QLineEdit* pathField() const { return pathField_; }

    void accept() override;

private:
    void browse();

    Messages& messages_;
    ExchangeDirection direction_;
    QCheckBox* fileBox_ = nullptr;
    QLineEdit* pathField_ = nullptr;
};

// The list in which the user keeps the items of a document to import; all
// are selected at first. The positions kept, or nothing unless ended with "Import".
std::optional<std::vector<std::size_t>> chooseImportItems(QWidget* parent, const std::string& title,
                                                          const std::vector<std::string>& names);

// A progress dialog for long exports and imports, shown once a run takes a
// while; `step` answers false once the user has cancelled.
class ExchangeProgress {
public:
    ExchangeProgress(QWidget* parent, std::string title);
    ~ExchangeProgress();
    ExchangeProgress(const ExchangeProgress&) = delete;
    ExchangeProgress& operator=(const ExchangeProgress&) = delete;

    bool step(std::size_t done, std::size_t total);

private:
    QWidget* parent_;
    std::string title_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace ks
