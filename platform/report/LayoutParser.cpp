#include "LayoutParser.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>

namespace report {

namespace {

struct Token
{
    QString text;
    bool quoted = false;
};

class Parser
{
public:
    Parser(const QString &source) : m_source(source) {}

    Layout run(const QString &text)
    {
        m_layout.name = QFileInfo(m_source).completeBaseName();
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (m_line = 1; m_line <= lines.size(); ++m_line) {
            const QVector<Token> tokens = tokenize(lines[m_line - 1]);
            if (!tokens.isEmpty())
                statement(tokens);
        }
        return m_layout;
    }

private:
    [[noreturn]] void fail(const QString &message) const
    {
        throw LayoutError(QStringLiteral("%1:%2: %3").arg(m_source).arg(m_line).arg(message).toStdString());
    }

    QVector<Token> tokenize(const QString &line) const
    {
        QVector<Token> out;
        int i = 0;
        const int n = int(line.size());
        while (i < n) {
            const QChar c = line[i];
            if (c.isSpace()) {
                ++i;
            } else if (c == QLatin1Char('#')) {
                break;
            } else if (c == QLatin1Char('"')) {
                out.append({quoted(line, i), true});
            } else {
                // A bare word; a key's value may be quoted (font="宋体").
                Token t;
                while (i < n && !line[i].isSpace()) {
                    if (line[i] == QLatin1Char('"')) {
                        t.text += quoted(line, i);
                        continue;
                    }
                    t.text += line[i++];
                }
                out.append(t);
            }
        }
        return out;
    }

    // The quoted text starting at line[i]; i ends after the closing quote.
    QString quoted(const QString &line, int &i) const
    {
        QString s;
        for (++i; i < line.size(); ++i) {
            const QChar c = line[i];
            if (c == QLatin1Char('"')) {
                ++i;
                return s;
            }
            if (c == QLatin1Char('\\') && i + 1 < line.size()) {
                const QChar e = line[++i];
                s += e == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : e;
            } else {
                s += c;
            }
        }
        fail(QStringLiteral("unterminated quoted text"));
    }

    qreal number(const QString &text) const
    {
        bool ok = false;
        const qreal v = text.toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("not a number: %1").arg(text));
        return v;
    }

    void statement(const QVector<Token> &t)
    {
        const QString word = t[0].text;
        if (t[0].quoted)
            fail(QStringLiteral("a statement starts with a word"));
        if (word == QLatin1String("report")) {
            m_layout.name = argument(t, 1);
        } else if (word == QLatin1String("page")) {
            pageStatement(t);
        } else if (word == QLatin1String("margins")) {
            if (t.size() != 5)
                fail(QStringLiteral("margins needs left, top, right and bottom"));
            m_layout.margins = QMarginsF(number(t[1].text), number(t[2].text), number(t[3].text), number(t[4].text));
        } else if (word == QLatin1String("font")) {
            m_font.family = argument(t, 1);
            m_font.size = number(argument(t, 2));
            m_font.bold = m_font.italic = m_font.underline = false;
            for (int i = 3; i < t.size(); ++i)
                if (!fontFlag(m_font, t[i].text))
                    fail(QStringLiteral("unknown font style %1").arg(t[i].text));
        } else if (word == QLatin1String("options")) {
            for (int i = 1; i < t.size(); ++i) {
                if (t[i].text == QLatin1String("firstPageHeader"))
                    m_layout.firstPageHeader = true;
                else if (t[i].text == QLatin1String("lastPageFooter"))
                    m_layout.lastPageFooter = true;
                else
                    fail(QStringLiteral("unknown option %1").arg(t[i].text));
            }
        } else if (word == QLatin1String("dataset")) {
            m_layout.dataset = argument(t, 1);
        } else if (word == QLatin1String("band")) {
            bandStatement(t);
        } else {
            elementStatement(t);
        }
    }

    QString argument(const QVector<Token> &t, int i) const
    {
        if (i >= t.size())
            fail(QStringLiteral("%1 needs an argument").arg(t[0].text));
        return t[i].text;
    }

    void pageStatement(const QVector<Token> &t)
    {
        if (argument(t, 1).compare(QLatin1String("A4"), Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("only A4 pages are known"));
        const QString orientation = t.size() > 2 ? t[2].text : QStringLiteral("portrait");
        if (orientation == QLatin1String("portrait"))
            m_layout.page = QSizeF(210, 297);
        else if (orientation == QLatin1String("landscape"))
            m_layout.page = QSizeF(297, 210);
        else
            fail(QStringLiteral("unknown orientation %1").arg(orientation));
    }

    void bandStatement(const QVector<Token> &t)
    {
        static const QHash<QString, Band::Kind> kinds = {
            {QStringLiteral("title"), Band::Title},        {QStringLiteral("pageHeader"), Band::PageHeader},
            {QStringLiteral("columnHeader"), Band::ColumnHeader}, {QStringLiteral("detail"), Band::Detail},
            {QStringLiteral("summary"), Band::Summary},    {QStringLiteral("pageFooter"), Band::PageFooter},
        };
        const QString kindName = argument(t, 1);
        if (!kinds.contains(kindName))
            fail(QStringLiteral("unknown band %1").arg(kindName));
        Band b;
        b.kind = kinds.value(kindName);
        if (m_layout.band(b.kind))
            fail(QStringLiteral("a second %1 band").arg(kindName));
        bool hasHeight = false;
        for (int i = 2; i < t.size(); ++i) {
            const auto [key, value] = keyValue(t[i]);
            if (key != QLatin1String("height"))
                fail(QStringLiteral("a band takes only its height"));
            b.height = number(value);
            hasHeight = true;
        }
        if (!hasHeight)
            fail(QStringLiteral("band %1 needs height=").arg(kindName));
        m_layout.bands.append(b);
    }

    std::pair<QString, QString> keyValue(const Token &t) const
    {
        const qsizetype eq = t.text.indexOf(QLatin1Char('='));
        if (t.quoted || eq <= 0)
            return {t.text, QString()};
        return {t.text.left(eq), t.text.mid(eq + 1)};
    }

    static bool fontFlag(FontStyle &f, const QString &word)
    {
        if (word == QLatin1String("bold"))
            f.bold = true;
        else if (word == QLatin1String("italic"))
            f.italic = true;
        else if (word == QLatin1String("underline"))
            f.underline = true;
        else
            return false;
        return true;
    }

    int frameSides(const QString &value) const
    {
        if (value == QLatin1String("all"))
            return FrameAll;
        if (value == QLatin1String("none"))
            return 0;
        static const QHash<QString, int> sides = {{QStringLiteral("left"), FrameLeft},
                                                  {QStringLiteral("top"), FrameTop},
                                                  {QStringLiteral("right"), FrameRight},
                                                  {QStringLiteral("bottom"), FrameBottom}};
        int out = 0;
        for (const QString &s : value.split(QLatin1Char(','))) {
            if (!sides.contains(s))
                fail(QStringLiteral("unknown frame side %1").arg(s));
            out |= sides.value(s);
        }
        return out;
    }

    void elementStatement(const QVector<Token> &t)
    {
        static const QHash<QString, Element::Kind> kinds = {
            {QStringLiteral("label"), Element::Label}, {QStringLiteral("text"), Element::Text},
            {QStringLiteral("memo"), Element::Memo},   {QStringLiteral("pagenumber"), Element::PageNumber},
            {QStringLiteral("line"), Element::Line},   {QStringLiteral("box"), Element::Box},
            {QStringLiteral("choices"), Element::Label},
        };
        const QString word = t[0].text;
        if (!kinds.contains(word))
            fail(QStringLiteral("unknown statement %1").arg(word));
        if (m_layout.bands.isEmpty())
            fail(QStringLiteral("%1 before the first band").arg(word));

        Element e;
        e.kind = kinds.value(word);
        e.font = m_font;
        e.vAlign = e.kind == Element::Memo ? Qt::AlignTop : Qt::AlignVCenter;
        e.hAlign = Qt::AlignLeft;
        QStringList texts;
        QVector<qreal> columns{0}; // widths; 0: equal shares of the element's width
        qreal boxSize = 3.5;
        bool hasW = false, hasH = false;
        for (int i = 1; i < t.size(); ++i) {
            if (t[i].quoted) {
                texts << t[i].text;
                continue;
            }
            const auto [key, value] = keyValue(t[i]);
            if (value.isNull()) {
                if (fontFlag(e.font, key))
                    continue;
                if (key == QLatin1String("disabled"))
                    e.enabled = false;
                else if (key == QLatin1String("grow"))
                    e.grow = true;
                else if (i == 1)
                    e.name = key;
                else
                    fail(QStringLiteral("unknown word %1").arg(key));
                continue;
            }
            if (key == QLatin1String("x"))
                e.rect.moveLeft(number(value));
            else if (key == QLatin1String("y"))
                e.rect.moveTop(number(value));
            else if (key == QLatin1String("w"))
                e.rect.setWidth(number(value)), hasW = true;
            else if (key == QLatin1String("h"))
                e.rect.setHeight(number(value)), hasH = true;
            else if (key == QLatin1String("field"))
                e.field = value;
            else if (key == QLatin1String("dataset"))
                e.dataset = value;
            else if (key == QLatin1String("font"))
                e.font.family = value;
            else if (key == QLatin1String("size"))
                e.font.size = number(value);
            else if (key == QLatin1String("align"))
                e.hAlign = choose(value, {{"left", Qt::AlignLeft}, {"center", Qt::AlignHCenter}, {"right", Qt::AlignRight}});
            else if (key == QLatin1String("valign"))
                e.vAlign = choose(value, {{"top", Qt::AlignTop}, {"middle", Qt::AlignVCenter}, {"bottom", Qt::AlignBottom}});
            else if (key == QLatin1String("frame"))
                e.frame = frameSides(value);
            else if (key == QLatin1String("pen"))
                e.pen = number(value);
            else if (key == QLatin1String("cols") && word == QLatin1String("choices"))
                columns = QVector<qreal>(qMax(1, int(number(value))), 0);
            else if (key == QLatin1String("widths") && word == QLatin1String("choices"))
                columns = widths(value);
            else if (key == QLatin1String("box") && word == QLatin1String("choices"))
                boxSize = number(value);
            else
                fail(QStringLiteral("unknown attribute %1").arg(key));
        }
        if (e.kind != Element::Line && (!hasW || !hasH || e.rect.width() <= 0 || e.rect.height() <= 0))
            fail(QStringLiteral("%1 needs w= and h= greater than zero").arg(word));

        if (word == QLatin1String("choices")) {
            choices(e, texts, columns, boxSize);
            return;
        }
        if (texts.size() > 1)
            fail(QStringLiteral("more than one text"));
        e.caption = texts.value(0);
        if (e.kind == Element::Text && e.field.isEmpty())
            fail(QStringLiteral("text needs field="));
        if (e.kind == Element::Memo && e.field.isEmpty() == e.caption.isEmpty())
            fail(QStringLiteral("memo needs either field= or a text"));
        add(e);
    }

    int choose(const QString &value, std::initializer_list<std::pair<const char *, int>> options) const
    {
        for (const auto &[word, v] : options)
            if (value == QLatin1String(word))
                return v;
        fail(QStringLiteral("unknown value %1").arg(value));
    }

    // Column widths written "30,42.5,40".
    QVector<qreal> widths(const QString &value) const
    {
        QVector<qreal> out;
        for (const QString &w : value.split(QLatin1Char(','))) {
            out << number(w);
            if (out.last() <= 0)
                fail(QStringLiteral("a column width is greater than zero"));
        }
        return out;
    }

    // A row (or rows) of options, each a framed mark box named prefix + code
    // and the option's text after it, in columns across the width: equal
    // ones, or as wide as widths= gives them.
    void choices(const Element &base, const QStringList &options, const QVector<qreal> &widths, qreal boxSize)
    {
        if (base.name.isEmpty())
            fail(QStringLiteral("choices needs the name prefix of its boxes"));
        const int columns = int(widths.size());
        QVector<qreal> left{base.rect.left()}, width;
        for (qreal w : widths) {
            width << (w > 0 ? w : base.rect.width() / columns);
            left << left.last() + width.last();
        }
        if (left.last() > base.rect.right() + 0.01)
            fail(QStringLiteral("the columns are wider than w="));
        const qreal rowHeight = base.rect.height();
        for (int i = 0; i < options.size(); ++i) {
            const qsizetype blank = options[i].indexOf(QLatin1Char(' '));
            if (blank <= 0)
                fail(QStringLiteral("a choice is written \"code text\": %1").arg(options[i]));
            const qreal x = left[i % columns];
            const qreal y = base.rect.top() + (i / columns) * rowHeight;
            Element box = base;
            box.name = base.name + options[i].left(blank);
            box.rect = QRectF(x, y + (rowHeight - boxSize) / 2, boxSize, boxSize);
            box.frame = FrameAll;
            box.padding = 0; // the mark is centred and as wide as the box allows
            box.hAlign = Qt::AlignHCenter;
            box.vAlign = Qt::AlignVCenter;
            add(box);
            Element text = base;
            text.name.clear();
            text.caption = options[i].mid(blank + 1);
            text.rect = QRectF(x + boxSize + 0.8, y, width[i % columns] - boxSize - 1.8, rowHeight);
            text.frame = 0;
            add(text);
        }
    }

    void add(const Element &e)
    {
        if (!e.name.isEmpty()) {
            if (m_names.contains(e.name))
                fail(QStringLiteral("a second element named %1").arg(e.name));
            m_names.insert(e.name);
        }
        m_layout.bands.last().elements.append(e);
    }

    QString m_source;
    int m_line = 0;
    Layout m_layout;
    FontStyle m_font;
    QSet<QString> m_names;
};

} // namespace

Layout parseLayout(const QString &text, const QString &source)
{
    return Parser(source).run(text);
}

Layout loadLayout(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw LayoutError(QStringLiteral("报表格式文件 %1 无法读取：%2").arg(path, f.errorString()).toStdString());
    return parseLayout(QString::fromUtf8(f.readAll()), path);
}

} // namespace report
