#pragma once
// Word templates made from a small readable description, one statement a
// line ('#' starts a comment):
//
//   page 20 20 20 20                margins in mm: left top right bottom (A4 portrait)
//   font 宋体 10.5                  the document's font and size in points
//   title 科技成果登记表            centred, bold, large
//   center|para|right [size=N] [bold] text
//   blank                           an empty paragraph
//   pagebreak                       what follows starts a new page
//   table 30 50 30 60 [size=N]      column widths in mm; rows follow until "end"
//   row [h=MM] [head] [split] cell | …  a row at least MM high; a head row repeats on every
//                                   page; a split row may run on over a page (a long text)
//   rows N [h=MM] cell | cell …     N rows, each "#" in them replaced by the row's number
//   end
//
// In a text, {name} places an empty bookmark and \n breaks the line. A cell
// may start with flags: *N spans N columns, ^ centres, ! sets bold, ~ puts
// the text at the top of the cell.
//
// A description file may also hold "include NAME" (the lines of the file
// NAME beside it) and "set NAME value" (later "$NAME" stands for value).
#include "Package.h"

#include <QString>

namespace word {

// The template as an Office Open XML package (.dotx). Throws WordError
// naming the line of the first fault.
Package buildTemplate(const QString &description);
// The same from a description file, its includes and settings put in.
Package buildTemplateFile(const QString &path);

} // namespace word
