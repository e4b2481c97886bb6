#include "app/WindowPlaces.h"

#include <QEvent>
#include <QWidget>

#include <string>

#include "store/KeyTree.h"
#include "store/SettingsStore.h"

namespace ks {

namespace {

const std::string kPlacesKey = std::string(kDirectRoot) + "Windows";

class PlaceKeeper final : public QObject {
public:
    PlaceKeeper(QWidget& window, KeyTree& tree, const char* name)
        : QObject(&window), window_(window), tree_(tree), name_(name) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Hide) {
            const QByteArray place = window_.saveGeometry();
            tree_.setValue(kPlacesKey, name_, kTypeBinary, Bytes(place.begin(), place.end()));
        }
        return false;
    }

private:
    QWidget& window_;
    KeyTree& tree_;
    std::string name_;
};

}  // namespace

void keepPlace(QWidget& window, KeyTree& tree, const char* name) {
    if (const auto stored = tree.readValue(kPlacesKey, name); stored && !stored->data.empty()) {
        const Bytes& data = stored->data;
        window.restoreGeometry(QByteArray(reinterpret_cast<const char*>(data.data()),
                                          static_cast<qsizetype>(data.size())));
    }
    window.installEventFilter(new PlaceKeeper(window, tree, name));
}

}  // namespace ks
