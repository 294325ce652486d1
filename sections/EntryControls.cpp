#include "EntryControls.h"

#include "SharedRoutines.h"
#include "text/Gbk.h"
#include "ui/HandlerGuard.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// Swallows typed characters outside the allowed set; keys without text
// (arrows, deletion), control keys (backspace, Tab) and shortcuts (Ctrl+V) pass.
class KeyFilter : public QObject
{
public:
    KeyFilter(QObject *parent, QString allowed) : QObject(parent), m_allowed(std::move(allowed)) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(e);
        const QString text = key->text();
        if (text.isEmpty() || text.at(0).category() == QChar::Other_Control
            || (key->modifiers() & Qt::ControlModifier))
            return false;
        for (QChar c : text)
            if (!m_allowed.contains(c))
                return true;
        return false;
    }

private:
    QString m_allowed;
};

class ClickFilter : public QObject
{
public:
    ClickFilter(QPlainTextEdit *memo) : QObject(memo), m_memo(memo) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonPress && gbk::trim(m_memo->toPlainText()).isEmpty()
            && !m_memo->toPlainText().isEmpty())
            m_memo->clear();
        return false;
    }

private:
    QPlainTextEdit *m_memo;
};

} // namespace

void checkMoneyText(QLineEdit *edit)
{
    const QString text = edit->text();
    if (gbk::trim(text).isEmpty())
        return;
    bool ok = false;
    gbk::trim(text).toDouble(&ok);
    if (ok)
        return;
    ShowWarning(text + QString::fromUtf8(" 不是正确的数据格式！现在已经置零"));
    edit->setText("0");
}

void makeMoneyEdit(QLineEdit *edit, bool allowDot)
{
    edit->installEventFilter(new KeyFilter(edit, allowDot ? "0123456789." : "0123456789"));
    ui::connectGuarded(edit, &QLineEdit::textChanged, edit, [edit] { checkMoneyText(edit); });
}

void makeDigitEdit(QLineEdit *edit)
{
    edit->installEventFilter(new KeyFilter(edit, "0123456789"));
}

void emptyBlankMemoOnClick(QPlainTextEdit *memo)
{
    memo->viewport()->installEventFilter(new ClickFilter(memo));
}
