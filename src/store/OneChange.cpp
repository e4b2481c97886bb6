#include "store/OneChange.h"

#include <vector>

namespace ks {

namespace {

class HeldMessages final : public Messages {
public:
    using Messages::show;
    MsgAnswer show(const MessageBox& box) override {
        held_.push_back(box);
        return MsgAnswer::Ok;
    }
    void showTo(Messages& messages) {
        for (const MessageBox& box : held_) messages.show(box);
        held_.clear();
    }

private:
    std::vector<MessageBox> held_;
};

void showAccessError(Messages& messages, const Result& failed) {
    messages.show("Error accessing registry - " + limitedError(failed.error()), "Attention",
                  MsgIcon::Exclamation);
}

}  // namespace

bool asOneChange(SettingsStore& store, const std::function<bool(SettingsStore& inner)>& change) {
    HeldMessages held;
    SettingsStore inner(store.tree(), held);
    bool done = false;
    {
        KeyTree::Transaction transaction(store.tree());
        if (!transaction.begun()) {
            showAccessError(held, transaction.begun());
        } else if (change(inner)) {
            Result committed = transaction.commit();
            done = committed.ok();
            if (!done) showAccessError(held, committed);
        }
    }
    held.showTo(store.messages());
    return done;
}

}  // namespace ks
