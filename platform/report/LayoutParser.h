#pragma once
// Reading a layout from its text form. resources/reports/README.md describes
// the form; in short, one statement a line:
//
//   page A4 portrait
//   margins 10 10 10 10
//   font 宋体 10.5
//   options firstPageHeader lastPageFooter
//   dataset ClientDataSet2
//   band detail height=12
//     text ITEM_180 x=12 y=0 w=20 h=12 field=ITEM_180 frame=all
//     label QRPage x=90 y=0 w=10 h=5 "3" align=center
//
// Errors name the source and line.
#include "Layout.h"

#include <stdexcept>

namespace report {

class LayoutError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// source names the text in error messages.
Layout parseLayout(const QString &text, const QString &source);
// From a file or a Qt resource (":/reports/…").
Layout loadLayout(const QString &path);

} // namespace report
