#include "FileChoosers.h"

#include "ChooserDialog.h"

#include <QStringList>

namespace ui {

namespace {

FileChooser &installedChooser()
{
    static FileChooser chooser;
    return chooser;
}

QString choose(const FileRequest &request)
{
    const FileChooser chooser = installedChooser();
    return chooser ? chooser(request) : runChooserDialog(request);
}

} // namespace

QString qtFileFilter(const QString &filter)
{
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns) {
            p = p.trimmed();
            // "*.*" means every file; on Linux it would miss names without a dot.
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        const QString description = parts[i].trimmed();
        const QString list = patterns.join(QLatin1Char(' '));
        // Descriptions often show their patterns already: "包文件(*.arj)".
        const QString tail = QLatin1Char('(') + list + QLatin1Char(')');
        out << (description.endsWith(tail) ? description : description + QLatin1Char(' ') + tail);
    }
    return out.join(QStringLiteral(";;"));
}

QString chooseOpenFile(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return choose({FileRequest::OpenFile, parent, caption, dir, qtFileFilter(filter)});
}

QString chooseSaveFile(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return choose({FileRequest::SaveFile, parent, caption, dir, qtFileFilter(filter)});
}

QString chooseFolder(QWidget *parent, const QString &caption, const QString &dir)
{
    return choose({FileRequest::Folder, parent, caption, dir, {}});
}

FileChooser setFileChooser(FileChooser chooser)
{
    std::swap(chooser, installedChooser());
    return chooser;
}

} // namespace ui
