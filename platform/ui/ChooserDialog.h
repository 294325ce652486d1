#pragma once
// The file and folder chooser of the program: Qt's own dialog, showing sizes
// and dates as the program writes them, with room for its columns.
#include <QString>

namespace ui {

struct FileRequest;

// Runs the chooser for the request; an empty result means the user
// cancelled. Sizes and dates show in the program's locale and format, and
// the columns have room for what they show.
QString runChooserDialog(const FileRequest &request);

} // namespace ui
