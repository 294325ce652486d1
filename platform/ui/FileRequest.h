#pragma once
// What a file or folder chooser is asked: the kind of choice, the window it
// belongs to, its caption, the folder it opens in and the files it lists.
#include <QString>

class QWidget;

namespace ui {

struct FileRequest
{
    enum Kind { OpenFile, SaveFile, Folder };
    Kind kind = OpenFile;
    QWidget *parent = nullptr;
    QString caption;
    QString dir;
    QString filter; // Qt form: "包文件 (*.arj);;所有文件 (*)"
};

} // namespace ui
