#include "Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace ui {

QString songFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const char *family : {"Noto Serif CJK SC", "AR PL UMing CN", "AR PL SungtiL GB", "Noto Sans CJK SC"})
        if (installed.contains(QString::fromLatin1(family)))
            return QString::fromLatin1(family);
    return {};
}

void mapSongTypeface()
{
    if (const QString family = songFamily(); !family.isEmpty())
        QFont::insertSubstitution(QString::fromUtf8("宋体"), family);
}

} // namespace ui
