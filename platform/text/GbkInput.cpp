#include "GbkInput.h"

#include "Gbk.h"
#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <limits>
#include <QTextCursor>
#include <QTextDocument>

namespace gbk {

namespace {

// Characters the editor keeps for line breaks and blanks; its plain text
// turns them into "\n" and " ".
bool editorMark(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QChar::Nbsp;
}

// Control characters other than TAB, CR and LF have no place in a text:
// 0x1A would even end a stored memo early.
bool unwantedControl(QChar c)
{
    return c.category() == QChar::Other_Control && c != u'\t' && c != u'\r' && c != u'\n';
}

// The characters GBK cannot store that it removed, each once.
QStringList dropUnstorable(QTextDocument *doc, int from, int count)
{
    // The runs of unencodable characters in the inserted range, removed from
    // the last one on so the earlier positions stay right.
    const int end = std::min(from + count, doc->characterCount());
    // Mostly all of it is GBK: one conversion tells.
    QString inserted;
    inserted.reserve(end - from);
    bool controls = false;
    for (int i = from; i < end; ++i) {
        const QChar c = doc->characterAt(i);
        controls = controls || unwantedControl(c);
        inserted += editorMark(c) ? QChar(u' ') : c;
    }
    if (!controls && encodable(inserted))
        return {};
    QList<std::pair<int, int>> runs;
    QStringList leftOut;
    for (int i = from; i < end;) {
        const QChar c = doc->characterAt(i);
        const int n = c.isHighSurrogate() && i + 1 < end && doc->characterAt(i + 1).isLowSurrogate() ? 2 : 1;
        const QString character = n == 2 ? QString(c) + doc->characterAt(i + 1) : QString(c);
        const bool control = unwantedControl(c);
        const bool keep = !control && (c.unicode() < 0x80 || editorMark(c) || encodable(character));
        // Control characters are invisible: nothing to name.
        if (!keep && !control && !leftOut.contains(character))
            leftOut << character;
        if (!keep) {
            if (!runs.isEmpty() && runs.last().first + runs.last().second == i)
                runs.last().second += n;
            else
                runs.append({i, n});
        }
        i += n;
    }
    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        QTextCursor cursor(doc);
        cursor.setPosition(it->first);
        cursor.setPosition(it->first + it->second, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    return leftOut;
}

constexpr char kPendingLeftOut[] = "gbkLeftOut";

} // namespace

void tellLeftOut(QObject *editor, const QStringList &characters)
{
    // The box waits until the editor has finished the input: a modal loop
    // inside a text change would run with the edit half done.
    QStringList pending = editor->property(kPendingLeftOut).toStringList();
    const bool queued = !pending.isEmpty();
    for (const QString &c : characters)
        if (!pending.contains(c))
            pending << c;
    editor->setProperty(kPendingLeftOut, pending);
    if (queued)
        return;
    QMetaObject::invokeMethod(
        editor,
        [editor] {
            const QStringList left = editor->property(kPendingLeftOut).toStringList();
            editor->setProperty(kPendingLeftOut, QVariant());
            ui::messageBox(QString::fromUtf8("以下字符不在GBK字符集中，无法保存，已略去：“%1”").arg(left.join(QString::fromUtf8("”“"))),
                           QCoreApplication::applicationName(), ui::MB_OK | ui::MB_ICONEXCLAMATION);
        },
        Qt::QueuedConnection);
}

void acceptOnlyGbk(QPlainTextEdit *memo)
{
    QObject::connect(memo->document(), &QTextDocument::contentsChange, memo, [memo](int from, int, int added) {
        // Removing fires the signal again, with nothing added.
        if (added <= 0)
            return;
        if (const QStringList leftOut = dropUnstorable(memo->document(), from, added); !leftOut.isEmpty())
            tellLeftOut(memo, leftOut);
    });
}

void acceptOnlyGbk(QLineEdit *edit)
{
    edit->setValidator(new ByteLimitValidator(std::numeric_limits<int>::max(), edit));
}

ByteLimitValidator::ByteLimitValidator(int maxBytes, QObject *parent)
    : QValidator(parent), m_maxBytes(maxBytes)
{
}

QValidator::State ByteLimitValidator::validate(QString &input, int &pos) const
{
    if (const QStringList leftOut = unencodableCharacters(input); !leftOut.isEmpty()) {
        input = withoutUnencodable(input, &pos);
        tellLeftOut(const_cast<ByteLimitValidator *>(this), leftOut);
    }
    if (m_whole)
        return Acceptable;
    int over = byteLength(input) - m_maxBytes;
    // The newest input ends at the cursor: it gives way first, character by
    // character, so a cut never splits a double-byte character.
    while (over > 0 && pos > 0) {
        const qsizetype n = pos >= 2 && input[pos - 1].isLowSurrogate() && input[pos - 2].isHighSurrogate() ? 2 : 1;
        over -= byteLength(input.mid(pos - n, n));
        input.remove(pos - n, n);
        pos -= int(n);
    }
    if (over > 0)
        input = cutToBytes(input, m_maxBytes);
    pos = std::min(pos, int(input.size()));
    return Acceptable;
}

void setTextWhole(QLineEdit *edit, const QString &text)
{
    auto *limit = dynamic_cast<const ByteLimitValidator *>(edit->validator());
    if (!limit) {
        edit->setText(text);
        return;
    }
    auto *writable = const_cast<ByteLimitValidator *>(limit);
    writable->m_whole = true;
    edit->setText(text);
    writable->m_whole = false;
}

} // namespace gbk
