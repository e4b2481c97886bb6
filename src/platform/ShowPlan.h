#pragma once

#include <optional>

#include "platform/WindowControl.h"

namespace ks {

// What a show command does to a window: the state it gives and whether the
// window becomes the active one. A minimised window is never active, so the
// minimising commands leave activation alone.
enum class ShowTarget { Withdraw, Iconify, Restore, Maximize, AsIs };
struct ShowPlan {
    ShowTarget target;
    bool activate;
};

inline std::optional<ShowPlan> planOf(ShowCommand command) {
    switch (command) {
        case ShowCommand::Hide: return ShowPlan{ShowTarget::Withdraw, false};
        case ShowCommand::ShowNormal:
        case ShowCommand::Restore:
        case ShowCommand::ShowDefault: return ShowPlan{ShowTarget::Restore, true};
        case ShowCommand::ShowNoActivate: return ShowPlan{ShowTarget::Restore, false};
        case ShowCommand::ShowMinimized:
        case ShowCommand::Minimize:
        case ShowCommand::ShowMinNoActive:
        case ShowCommand::ForceMinimize: return ShowPlan{ShowTarget::Iconify, false};
        case ShowCommand::ShowMaximized: return ShowPlan{ShowTarget::Maximize, true};
        case ShowCommand::Show: return ShowPlan{ShowTarget::AsIs, true};
        case ShowCommand::ShowNA: return ShowPlan{ShowTarget::AsIs, false};
    }
    return std::nullopt;
}

}  // namespace ks
