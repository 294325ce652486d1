#include "GbkInput.h"

#include "Gbk.h"

#include <QPlainTextEdit>
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

void dropUnstorable(QTextDocument *doc, int from, int count)
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
        return;
    QList<std::pair<int, int>> runs;
    for (int i = from; i < end;) {
        const QChar c = doc->characterAt(i);
        const int n = c.isHighSurrogate() && i + 1 < end && doc->characterAt(i + 1).isLowSurrogate() ? 2 : 1;
        const bool keep = !unwantedControl(c)
                          && (c.unicode() < 0x80 || editorMark(c)
                              || encodable(n == 2 ? QString(c) + doc->characterAt(i + 1) : QString(c)));
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
}

} // namespace

void acceptOnlyGbk(QPlainTextEdit *memo)
{
    QObject::connect(memo->document(), &QTextDocument::contentsChange, memo, [memo](int from, int, int added) {
        // Removing fires the signal again, with nothing added.
        if (added > 0)
            dropUnstorable(memo->document(), from, added);
    });
}

} // namespace gbk
