#include "Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace ui {

void mapSongTypeface()
{
    const QStringList installed = QFontDatabase::families();
    for (const char *family : {"Noto Serif CJK SC", "AR PL UMing CN", "AR PL SungtiL GB", "Noto Sans CJK SC"}) {
        if (installed.contains(QString::fromLatin1(family))) {
            QFont::insertSubstitution(QString::fromUtf8("宋体"), QString::fromLatin1(family));
            return;
        }
    }
}

} // namespace ui
