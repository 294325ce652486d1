#include "Locale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {

namespace {

// Qt 6 moved the file choosers' type names ("Folder", "Drive" …) to a
// context of their own; translation files made before the move still carry
// them under the chooser's context, and there this finds them.
class MovedTexts : public QTranslator
{
public:
    MovedTexts(const QTranslator *texts, QObject *parent) : QTranslator(parent), m_texts(texts) {}

    QString translate(const char *context, const char *source, const char *disambiguation, int n) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        return m_texts->translate("QFileDialog", source, disambiguation, n);
    }
    bool isEmpty() const override { return false; }

private:
    const QTranslator *m_texts;
};

} // namespace

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
    if (!qtTexts->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(qtTexts);
    // Asked first, it answers only for the moved texts.
    QCoreApplication::installTranslator(new MovedTexts(qtTexts, QCoreApplication::instance()));
}

} // namespace ui
