#pragma once

#include "platform/Dialogs.h"

namespace ks {

// The macro dialogs as Qt widgets on the primary screen.
class QtDialogs final : public Dialogs {
public:
    ScreenSize screenSize() override;
    std::unique_ptr<MessageBoxWindow> createMessageBox(const MessageBoxSpec& spec) override;
    std::unique_ptr<PromptWindow> showPrompt(const PromptForm& form) override;
};

}  // namespace ks
