#include "HelpText.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QPlainTextEdit>

QString helpText(const QString &name)
{
    QFile f(":/help/" + name + ".txt");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void setUpHelpWindow(QDialog *window, QPlainTextEdit *memo, QAbstractButton *back, const QString &textName)
{
    memo->setPlainText(helpText(textName));
    QObject::connect(back, &QAbstractButton::clicked, window, &QDialog::close);
}
