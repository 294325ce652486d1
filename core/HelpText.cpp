#include "HelpText.h"

#include <QFile>
#include <QPlainTextEdit>

QString helpText(const QString &name)
{
    QFile f(":/help/" + name + ".txt");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void setUpHelpWindow(QPlainTextEdit *memo, const QString &textName)
{
    memo->setPlainText(helpText(textName));
}
