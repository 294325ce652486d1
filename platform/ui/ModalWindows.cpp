#include "ModalWindows.h"

#include <QDialog>

namespace ui {

namespace {

ModalHandler &installedHandler()
{
    static ModalHandler handler;
    return handler;
}

} // namespace

int showModal(QDialog *dialog)
{
    const ModalHandler handler = installedHandler();
    return handler ? handler(dialog) : dialog->exec();
}

ModalHandler setModalHandler(ModalHandler handler)
{
    std::swap(handler, installedHandler());
    return handler;
}

} // namespace ui
