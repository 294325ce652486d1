#include "Locale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {

void useChineseLocale()
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    static QTranslator *qtTexts = nullptr;
    if (qtTexts || !QCoreApplication::instance())
        return;
    qtTexts = new QTranslator(QCoreApplication::instance());
    // Without Qt's translations installed the standard dialogs stay in
    // English; everything of the program's own is Chinese anyway.
    if (qtTexts->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
}

} // namespace ui
