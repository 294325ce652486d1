#pragma once
// Open-file, save-file and folder choosers through one replaceable handler,
// so tests name the file the user would have picked.
#include "FileRequest.h"

#include <QString>
#include <functional>

namespace ui {

// Filters may also be written in the "description|patterns|…" form the
// windows were designed with; they are turned into Qt's form. An empty result
// means the user cancelled.
QString chooseOpenFile(QWidget *parent, const QString &caption, const QString &dir = {},
                       const QString &filter = {});
QString chooseSaveFile(QWidget *parent, const QString &caption, const QString &dir = {},
                       const QString &filter = {});
QString chooseFolder(QWidget *parent, const QString &caption, const QString &dir = {});

QString qtFileFilter(const QString &filter);

using FileChooser = std::function<QString(const FileRequest &)>;

// Installs chooser and returns the one it replaces; an empty chooser brings
// back the real dialogs.
FileChooser setFileChooser(FileChooser chooser);

} // namespace ui
