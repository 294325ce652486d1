#include "EntryControls.h"

#include "SharedRoutines.h"
#include "db/file/NumberText.h"
#include "text/Gbk.h"
#include "ui/HandlerGuard.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalBlocker>

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
    if (gbk::trim(text).isEmpty() || isAmountText(text))
        return;
    ShowWarning(text + QString::fromUtf8(" 不是正确的数据格式！现在已经置零"));
    edit->setText("0");
}

void makeMoneyEdit(QLineEdit *edit, bool allowDot)
{
    makeDigitEdit(edit, allowDot);
    ui::connectGuarded(edit, &QLineEdit::textChanged, edit, [edit] { checkMoneyText(edit); });
}

void makeDigitEdit(QLineEdit *edit, bool allowDot)
{
    edit->installEventFilter(new KeyFilter(edit, allowDot ? "0123456789." : "0123456789"));
}

void emptyBlankMemoOnClick(QPlainTextEdit *memo)
{
    memo->viewport()->installEventFilter(new ClickFilter(memo));
}

bool isAmountText(const QString &text)
{
    static const QRegularExpression amount(QStringLiteral("^(\\d+\\.?\\d*|\\.\\d+)$"));
    return amount.match(gbk::trim(text)).hasMatch();
}

QString amountText(double amount)
{
    // Six decimals, as the amount columns keep them; drops the binary noise
    // of sums such as 0.1 + 0.2.
    return db::formatNumber(amount, 6);
}

double checkedSum(const QList<AmountTerm> &terms)
{
    double sum = 0;
    for (const AmountTerm &t : terms) {
        const QString text = t.edit->text();
        if (gbk::trim(text).isEmpty())
            continue;
        if (!isAmountText(text)) {
            ShowWarning(t.prefix + text + QString::fromUtf8(" 不是正确的数据格式！现在已经置零"));
            // Quietly: this sum already counts it as 0.
            const QSignalBlocker quiet(t.edit);
            t.edit->setText(QStringLiteral("0"));
            continue;
        }
        sum += gbk::trim(text).toDouble();
    }
    return sum;
}

void uncheckOtherBoxes(QAbstractButton *sender, const QList<QAbstractButton *> &keep)
{
    if (!sender->isChecked())
        return;
    for (QObject *o : sender->parent()->children()) {
        auto *box = qobject_cast<QCheckBox *>(o);
        if (box && box != sender && !keep.contains(box) && box->isChecked())
            box->setChecked(false);
    }
}
