#pragma once
// Showing a window modally goes through one replaceable handler, so a test can
// work a window (call its handlers, accept it) instead of blocking in exec().
#include <functional>

class QDialog;

namespace ui {

// The dialog's result code, as exec() gives it.
int showModal(QDialog *dialog);

using ModalHandler = std::function<int(QDialog *)>;

// Installs handler and returns the one it replaces; an empty handler brings
// back exec().
ModalHandler setModalHandler(ModalHandler handler);

} // namespace ui
