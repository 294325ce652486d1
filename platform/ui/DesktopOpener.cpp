#include "DesktopOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace ui {

namespace {

DocumentOpener &installedOpener()
{
    static DocumentOpener opener;
    return opener;
}

} // namespace

bool openDocument(const QString &path)
{
    const DocumentOpener opener = installedOpener();
    return opener ? opener(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

DocumentOpener setDocumentOpener(DocumentOpener opener)
{
    std::swap(opener, installedOpener());
    return opener;
}

} // namespace ui
