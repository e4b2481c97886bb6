#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace ks {

class Shell;

// "Keystrider - Options": the stored options, saved in a fixed order; a
// failed write keeps the dialog open with the later steps undone.
class OptionsDialog final : public QDialog {
public:
    OptionsDialog(Shell& shell, QWidget* parent = nullptr);

    // True when every step was done and the dialog closed.
    bool save();

private:
    void load();
    void chooseMouse(std::uint32_t button);
    bool writeSwitch(const char* name, const QCheckBox* box);
    bool saveStartWithDesktop();

    Shell& shell_;
    QCheckBox* hotKeys_;
    QCheckBox* server_;
    QLineEdit* port_;
    QLineEdit* peers_;
    QCheckBox* allAddresses_;
    QCheckBox* acceptPushes_;
    QCheckBox* phrases_;
    QCheckBox* scheduler_;
    QCheckBox* expansion_;
    QCheckBox* prompt_;
    QRadioButton* left_;
    QRadioButton* middle_;
    QRadioButton* right_;
    QCheckBox* startWithDesktop_;
    QComboBox* platform_;
};

// A port text as the Options dialog takes it: an optional "+" and decimal
// digits that fit 32 bits.
std::optional<std::uint32_t> parsePort(const std::string& text);

}  // namespace ks
