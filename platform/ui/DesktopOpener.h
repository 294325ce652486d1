#pragma once
// Opening a finished document with the desktop's default program, through a
// replaceable handler so tests see which file would open and nothing starts.
#include <QString>
#include <functional>

namespace ui {

// False when the desktop could not open it: no opener, or one that ended
// with a failure (no program for such files). Waits a few seconds at most
// for the opener's answer; the window repaints meanwhile.
bool openDocument(const QString &path);

using DocumentOpener = std::function<bool(const QString &path)>;

// Installs opener and returns the one it replaces; an empty opener brings
// back the desktop's.
DocumentOpener setDocumentOpener(DocumentOpener opener);

} // namespace ui
