#pragma once
// The sections of an achievement record as the main window shows them.
#include <QString>
#include <QVector>

struct SectionInfo
{
    QString code;          // "01" … "09"
    QString buttonName;    // the main window's button
    QString caption;       // its caption
    QString closeQuestion; // asked on leaving while it is incomplete; empty if never asked
};

const QVector<SectionInfo> &sections();
const SectionInfo *sectionByCode(const QString &code);
