#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ScreenSize.h"

namespace ks {

// Where a dialog stands: still open, closed by its accepting button (OK,
// Continue, or a message box's time-out), or closed any other way (Abort,
// Escape, the window's close button).
enum class DialogState { Open, Accepted, Dismissed };

struct MessageBoxSpec {
    std::string title;
    std::string body;
    bool continueAbort = false;            // "Continue" and "&Abort"; otherwise one "OK"
    bool stayOnTop = false;                // above every other window
    std::chrono::milliseconds timeout{0};  // then it closes as accepted; 0: never
};

// A message box that does not block the program; closed and destroyed with
// this object.
class MessageBoxWindow {
public:
    MessageBoxWindow() = default;
    MessageBoxWindow(const MessageBoxWindow&) = delete;
    MessageBoxWindow& operator=(const MessageBoxWindow&) = delete;
    virtual ~MessageBoxWindow() = default;

    // Its size as laid out before it is shown; the window manager's frame,
    // not known until then, is not counted.
    virtual ScreenSize size() const = 0;
    virtual void moveTo(int left, int top) = 0;
    // Shows it activated and in front, or without taking the focus.
    virtual void show(bool activate) = 0;
    virtual DialogState state() const = 0;
};

// One text box of a prompt window: its caption and the box's rectangle,
// relative to the window's content.
struct PromptField {
    std::string caption;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool multiLine = false;
};

struct PromptForm {
    std::optional<std::string> title;  // nothing: the window's default title
    std::vector<PromptField> fields;
    std::size_t focus = 0;  // the field that gets the keyboard focus
};

// A prompt window, modal to the program while open; closed and destroyed
// with this object.
class PromptWindow {
public:
    PromptWindow() = default;
    PromptWindow(const PromptWindow&) = delete;
    PromptWindow& operator=(const PromptWindow&) = delete;
    virtual ~PromptWindow() = default;

    virtual DialogState state() const = 0;
    // The fields' texts, in the order of the form.
    virtual std::vector<std::string> texts() const = 0;
};

// The dialogs macros show. Each opens at once and returns; the caller waits
// for it to close, letting the program's events through meanwhile.
class Dialogs {
public:
    Dialogs() = default;
    Dialogs(const Dialogs&) = delete;
    Dialogs& operator=(const Dialogs&) = delete;
    virtual ~Dialogs() = default;

    // The whole screen the boxes are placed on.
    virtual ScreenSize screenSize() = 0;
    // Laid out but not yet shown, so that it can be placed first.
    virtual std::unique_ptr<MessageBoxWindow> createMessageBox(const MessageBoxSpec& spec) = 0;
    // Shown centred on the screen, in front, with the focus in its focus field.
    virtual std::unique_ptr<PromptWindow> showPrompt(const PromptForm& form) = 0;
};

}  // namespace ks
