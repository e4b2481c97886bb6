#pragma once

class QWidget;

namespace ks {

class KeyTree;

// Keeps `window`'s size and place from one showing to the next, and from one
// run of the program to the next: restored now, stored whenever the window
// is hidden (key `Windows`, a value named `name`). A place that cannot be
// stored is lost quietly: it is no loss worth a message box.
void keepPlace(QWidget& window, KeyTree& tree, const char* name);

}  // namespace ks
