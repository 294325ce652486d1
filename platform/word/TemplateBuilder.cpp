#include "TemplateBuilder.h"

#include "WordError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamWriter>
#include <cmath>

namespace word {

namespace {

const QString W = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");

int twips(double mm)
{
    return int(std::lround(mm * 1440.0 / 25.4));
}

int halfPoints(double points)
{
    return int(std::lround(points * 2));
}

struct Format
{
    double size = 0; // points; 0: the document's
    bool bold = false;
    QString align;   // "center", "right" or empty
    bool top = false; // a cell's text at its top rather than its middle
    bool keepNext = false; // on the page of what follows (a heading with its table)
};

// Leading "key=value" and flag tokens of rest that are among allowed; rest
// keeps the text after them.
QMap<QString, QString> takeOptions(QString &rest, const QStringList &allowed)
{
    QMap<QString, QString> options;
    for (;;) {
        rest = rest.trimmed();
        const qsizetype space = rest.indexOf(QLatin1Char(' '));
        const QString token = space < 0 ? rest : rest.left(space);
        const qsizetype eq = token.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? token : token.left(eq);
        if (token.isEmpty() || !allowed.contains(key))
            return options;
        options.insert(key, eq < 0 ? QString() : token.mid(eq + 1));
        rest = space < 0 ? QString() : rest.mid(space + 1);
    }
}

class Builder
{
public:
    Builder() : m_xml(&m_document)
    {
        m_xml.writeStartDocument(QStringLiteral("1.0"), true);
        m_xml.writeNamespace(W, QStringLiteral("w"));
        m_xml.writeStartElement(W, QStringLiteral("document"));
        m_xml.writeStartElement(W, QStringLiteral("body"));
    }

    // next: the statement that follows, empty at the end.
    void statement(int line, const QString &text, const QString &next);
    Package finish();

private:
    [[noreturn]] void fail(const QString &message) const
    {
        throw WordError(QString::fromUtf8("模板描述第 %1 行：%2").arg(m_line).arg(message));
    }
    double number(const QString &text, const char *what) const;
    Format format(QString &rest, const QString &align);

    void paragraph(const QString &text, const Format &f);
    void runProperties(const Format &f);
    void runs(const QString &text, const Format &f);
    void bookmark(const QString &name);
    void startTable(const QList<double> &widths, const Format &f);
    void row(const QString &cells, double height, int number, bool head, bool split);
    void endTable();

    QByteArray m_document;
    QXmlStreamWriter m_xml;
    int m_line = 0;
    double m_margins[4] = {20, 20, 20, 20};
    QString m_font = QStringLiteral("宋体");
    double m_size = 10.5;
    QSet<QString> m_bookmarks;
    bool m_inTable = false;
    bool m_lastWasTable = false;
    // A page break waits for the paragraph that starts the new page: a break
    // in a paragraph of its own after a table that fills its page would
    // leave an empty page.
    bool m_breakPending = false;
    QList<double> m_widths;
    Format m_tableFormat;
};

double Builder::number(const QString &text, const char *what) const
{
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok || d <= 0 || d > 1000)
        fail(QString::fromUtf8("%1“%2”无效").arg(QString::fromUtf8(what), text));
    return d;
}

Format Builder::format(QString &rest, const QString &align)
{
    const QMap<QString, QString> options = takeOptions(rest, {QStringLiteral("size"), QStringLiteral("bold")});
    Format f;
    f.align = align;
    f.bold = options.contains(QStringLiteral("bold"));
    if (options.contains(QStringLiteral("size")))
        f.size = number(options.value(QStringLiteral("size")), "字号");
    return f;
}

void Builder::statement(int line, const QString &text, const QString &next)
{
    m_line = line;
    QString rest = text.trimmed();
    const qsizetype space = rest.indexOf(QLatin1Char(' '));
    const QString keyword = space < 0 ? rest : rest.left(space);
    rest = space < 0 ? QString() : rest.mid(space + 1).trimmed();

    if (m_inTable) {
        if (keyword == QLatin1String("row") || keyword == QLatin1String("rows")) {
            int count = 1;
            if (keyword == QLatin1String("rows")) {
                const qsizetype sp = rest.indexOf(QLatin1Char(' '));
                bool ok = false;
                count = rest.left(sp).toInt(&ok);
                if (!ok || count < 1 || count > 500)
                    fail(QString::fromUtf8("行数“%1”无效").arg(rest.left(sp)));
                rest = sp < 0 ? QString() : rest.mid(sp + 1);
            }
            const QMap<QString, QString> options =
                takeOptions(rest, {QStringLiteral("h"), QStringLiteral("head"), QStringLiteral("split")});
            const double height = options.contains(QStringLiteral("h")) ? number(options.value(QStringLiteral("h")), "行高") : 0;
            for (int i = 1; i <= count; ++i)
                row(rest, height, keyword == QLatin1String("rows") ? i : 0, options.contains(QStringLiteral("head")),
                    options.contains(QStringLiteral("split")));
        } else if (keyword == QLatin1String("end")) {
            endTable();
        } else {
            fail(QString::fromUtf8("表格中只能有 row、rows 和 end"));
        }
        return;
    }

    if (keyword == QLatin1String("page")) {
        const QStringList parts = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() != 4)
            fail(QString::fromUtf8("page 需要四个页边距"));
        for (int i = 0; i < 4; ++i)
            m_margins[i] = number(parts[i], "页边距");
    } else if (keyword == QLatin1String("font")) {
        const QStringList parts = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() != 2)
            fail(QString::fromUtf8("font 需要字体和字号"));
        m_font = parts[0];
        m_size = number(parts[1], "字号");
    } else if (keyword == QLatin1String("title") || keyword == QLatin1String("center") || keyword == QLatin1String("right")
               || keyword == QLatin1String("para")) {
        Format f = format(rest, keyword == QLatin1String("para") ? QString()
                                : keyword == QLatin1String("right") ? keyword
                                                                    : QStringLiteral("center"));
        if (keyword == QLatin1String("title")) {
            f.bold = true;
            if (f.size == 0)
                f.size = 22;
        }
        // A text just before a table heads it: it never stays behind alone
        // at the foot of a page.
        f.keepNext = next.section(QLatin1Char(' '), 0, 0) == QLatin1String("table");
        paragraph(rest, f);
    } else if (keyword == QLatin1String("blank")) {
        paragraph(QString(), Format());
    } else if (keyword == QLatin1String("pagebreak")) {
        m_breakPending = true;
    } else if (keyword == QLatin1String("table")) {
        Format f;
        QList<double> widths;
        for (const QString &token : rest.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (token.startsWith(QLatin1String("size=")))
                f.size = number(token.mid(5), "字号");
            else
                widths << number(token, "列宽");
        }
        if (widths.isEmpty())
            fail(QString::fromUtf8("table 需要列宽"));
        startTable(widths, f);
    } else {
        fail(QString::fromUtf8("不认识的语句“%1”").arg(keyword));
    }
}

void Builder::runProperties(const Format &f)
{
    m_xml.writeStartElement(W, QStringLiteral("rPr"));
    if (f.bold)
        m_xml.writeEmptyElement(W, QStringLiteral("b"));
    if (f.size > 0) {
        m_xml.writeEmptyElement(W, QStringLiteral("sz"));
        m_xml.writeAttribute(W, QStringLiteral("val"), QString::number(halfPoints(f.size)));
        m_xml.writeEmptyElement(W, QStringLiteral("szCs"));
        m_xml.writeAttribute(W, QStringLiteral("val"), QString::number(halfPoints(f.size)));
    }
    m_xml.writeEndElement();
}

void Builder::paragraph(const QString &text, const Format &f)
{
    m_xml.writeStartElement(W, QStringLiteral("p"));
    m_xml.writeStartElement(W, QStringLiteral("pPr"));
    if (f.keepNext)
        m_xml.writeEmptyElement(W, QStringLiteral("keepNext"));
    if (m_breakPending) {
        m_xml.writeEmptyElement(W, QStringLiteral("pageBreakBefore"));
        m_breakPending = false;
    }
    if (!f.align.isEmpty()) {
        m_xml.writeEmptyElement(W, QStringLiteral("jc"));
        m_xml.writeAttribute(W, QStringLiteral("val"), f.align);
    }
    // The paragraph mark's properties: what text put in at a bookmark
    // standing first in the paragraph looks like.
    runProperties(f);
    m_xml.writeEndElement();
    runs(text, f);
    m_xml.writeEndElement();
    m_lastWasTable = false;
}

void Builder::bookmark(const QString &name)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,39}$"));
    if (!valid.match(name).hasMatch())
        fail(QString::fromUtf8("书签名“%1”无效").arg(name));
    if (m_bookmarks.contains(name.toLower()))
        fail(QString::fromUtf8("书签“%1”重复").arg(name));
    m_bookmarks.insert(name.toLower());
    const QString id = QString::number(m_bookmarks.size() - 1);
    m_xml.writeEmptyElement(W, QStringLiteral("bookmarkStart"));
    m_xml.writeAttribute(W, QStringLiteral("id"), id);
    m_xml.writeAttribute(W, QStringLiteral("name"), name);
    m_xml.writeEmptyElement(W, QStringLiteral("bookmarkEnd"));
    m_xml.writeAttribute(W, QStringLiteral("id"), id);
}

void Builder::runs(const QString &text, const Format &f)
{
    // Texts between bookmarks; "\n" breaks the line inside the run.
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), pos);
        const QString plain = text.mid(pos, open < 0 ? -1 : open - pos);
        if (!plain.isEmpty()) {
            m_xml.writeStartElement(W, QStringLiteral("r"));
            runProperties(f);
            const QStringList lines = plain.split(QStringLiteral("\\n"));
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (i > 0)
                    m_xml.writeEmptyElement(W, QStringLiteral("br"));
                if (lines[i].isEmpty())
                    continue;
                m_xml.writeStartElement(W, QStringLiteral("t"));
                m_xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
                m_xml.writeCharacters(lines[i]);
                m_xml.writeEndElement();
            }
            m_xml.writeEndElement();
        }
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            fail(QString::fromUtf8("“{”没有对应的“}”"));
        bookmark(text.mid(open + 1, close - open - 1).trimmed());
        pos = close + 1;
    }
}

void Builder::startTable(const QList<double> &widths, const Format &f)
{
    // A table cannot carry the break itself: an empty paragraph on the new
    // page does.
    if (m_breakPending)
        paragraph(QString(), Format());
    m_inTable = true;
    m_widths = widths;
    m_tableFormat = f;
    int total = 0;
    for (double w : widths)
        total += twips(w);
    m_xml.writeStartElement(W, QStringLiteral("tbl"));
    m_xml.writeStartElement(W, QStringLiteral("tblPr"));
    m_xml.writeEmptyElement(W, QStringLiteral("tblW"));
    m_xml.writeAttribute(W, QStringLiteral("w"), QString::number(total));
    m_xml.writeAttribute(W, QStringLiteral("type"), QStringLiteral("dxa"));
    m_xml.writeEmptyElement(W, QStringLiteral("jc"));
    m_xml.writeAttribute(W, QStringLiteral("val"), QStringLiteral("center"));
    m_xml.writeStartElement(W, QStringLiteral("tblBorders"));
    for (const char *side : {"top", "left", "bottom", "right", "insideH", "insideV"}) {
        m_xml.writeEmptyElement(W, QString::fromLatin1(side));
        m_xml.writeAttribute(W, QStringLiteral("val"), QStringLiteral("single"));
        m_xml.writeAttribute(W, QStringLiteral("sz"), QStringLiteral("4"));
        m_xml.writeAttribute(W, QStringLiteral("space"), QStringLiteral("0"));
        m_xml.writeAttribute(W, QStringLiteral("color"), QStringLiteral("000000"));
    }
    m_xml.writeEndElement();
    m_xml.writeEmptyElement(W, QStringLiteral("tblLayout"));
    m_xml.writeAttribute(W, QStringLiteral("type"), QStringLiteral("fixed"));
    m_xml.writeStartElement(W, QStringLiteral("tblCellMar"));
    for (const char *side : {"left", "right"}) {
        m_xml.writeEmptyElement(W, QString::fromLatin1(side));
        m_xml.writeAttribute(W, QStringLiteral("w"), QString::number(twips(1.5)));
        m_xml.writeAttribute(W, QStringLiteral("type"), QStringLiteral("dxa"));
    }
    m_xml.writeEndElement();
    m_xml.writeEndElement(); // tblPr
    m_xml.writeStartElement(W, QStringLiteral("tblGrid"));
    for (double w : widths) {
        m_xml.writeEmptyElement(W, QStringLiteral("gridCol"));
        m_xml.writeAttribute(W, QStringLiteral("w"), QString::number(twips(w)));
    }
    m_xml.writeEndElement();
}

void Builder::row(const QString &cells, double height, int number, bool head, bool split)
{
    m_xml.writeStartElement(W, QStringLiteral("tr"));
    m_xml.writeStartElement(W, QStringLiteral("trPr"));
    if (!split)
        m_xml.writeEmptyElement(W, QStringLiteral("cantSplit"));
    if (head)
        m_xml.writeEmptyElement(W, QStringLiteral("tblHeader"));
    if (height > 0) {
        m_xml.writeEmptyElement(W, QStringLiteral("trHeight"));
        m_xml.writeAttribute(W, QStringLiteral("val"), QString::number(twips(height)));
        m_xml.writeAttribute(W, QStringLiteral("hRule"), QStringLiteral("atLeast"));
    }
    m_xml.writeEndElement();

    int column = 0;
    for (QString cell : cells.split(QLatin1Char('|'))) {
        cell = cell.trimmed();
        if (number > 0)
            cell.replace(QLatin1Char('#'), QString::number(number));
        Format f = m_tableFormat;
        int span = 1;
        // Flags: *N spans, ^ centres, ! sets bold, ~ tops.
        while (!cell.isEmpty()) {
            if (cell.startsWith(QLatin1Char('*'))) {
                qsizetype digits = 1;
                while (digits < cell.size() && cell.at(digits).isDigit())
                    ++digits;
                span = cell.mid(1, digits - 1).toInt();
                if (span < 1)
                    fail(QString::fromUtf8("跨列数无效"));
                cell.remove(0, digits);
            } else if (cell.startsWith(QLatin1Char('^'))) {
                f.align = QStringLiteral("center");
                cell.remove(0, 1);
            } else if (cell.startsWith(QLatin1Char('!'))) {
                f.bold = true;
                cell.remove(0, 1);
            } else if (cell.startsWith(QLatin1Char('~'))) {
                f.top = true;
                cell.remove(0, 1);
            } else {
                break;
            }
        }
        cell = cell.trimmed();
        if (column + span > m_widths.size())
            fail(QString::fromUtf8("单元格多于表格的列"));
        double width = 0;
        for (int i = column; i < column + span; ++i)
            width += m_widths[i];
        column += span;

        m_xml.writeStartElement(W, QStringLiteral("tc"));
        m_xml.writeStartElement(W, QStringLiteral("tcPr"));
        m_xml.writeEmptyElement(W, QStringLiteral("tcW"));
        m_xml.writeAttribute(W, QStringLiteral("w"), QString::number(twips(width)));
        m_xml.writeAttribute(W, QStringLiteral("type"), QStringLiteral("dxa"));
        if (span > 1) {
            m_xml.writeEmptyElement(W, QStringLiteral("gridSpan"));
            m_xml.writeAttribute(W, QStringLiteral("val"), QString::number(span));
        }
        m_xml.writeEmptyElement(W, QStringLiteral("vAlign"));
        m_xml.writeAttribute(W, QStringLiteral("val"), f.top ? QStringLiteral("top") : QStringLiteral("center"));
        m_xml.writeEndElement();
        paragraph(cell, f);
        m_xml.writeEndElement();
    }
    if (column != m_widths.size())
        fail(QString::fromUtf8("单元格少于表格的列"));
    m_xml.writeEndElement();
}

void Builder::endTable()
{
    m_xml.writeEndElement();
    m_inTable = false;
    m_lastWasTable = true;
}

Package Builder::finish()
{
    if (m_inTable)
        fail(QString::fromUtf8("表格没有以 end 结束"));
    // Word wants a paragraph between a table and the end of the section; a
    // break at the end starts an empty last page.
    if (m_lastWasTable || m_breakPending)
        paragraph(QString(), Format());

    QXmlStreamWriter &x = m_xml;
    x.writeStartElement(W, QStringLiteral("sectPr"));
    x.writeEmptyElement(W, QStringLiteral("pgSz"));
    x.writeAttribute(W, QStringLiteral("w"), QStringLiteral("11906"));
    x.writeAttribute(W, QStringLiteral("h"), QStringLiteral("16838"));
    x.writeEmptyElement(W, QStringLiteral("pgMar"));
    x.writeAttribute(W, QStringLiteral("top"), QString::number(twips(m_margins[1])));
    x.writeAttribute(W, QStringLiteral("right"), QString::number(twips(m_margins[2])));
    x.writeAttribute(W, QStringLiteral("bottom"), QString::number(twips(m_margins[3])));
    x.writeAttribute(W, QStringLiteral("left"), QString::number(twips(m_margins[0])));
    x.writeAttribute(W, QStringLiteral("header"), QString::number(twips(10)));
    x.writeAttribute(W, QStringLiteral("footer"), QString::number(twips(10)));
    x.writeAttribute(W, QStringLiteral("gutter"), QStringLiteral("0"));
    x.writeEndDocument();

    const QString size = QString::number(halfPoints(m_size));
    const QString styles = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:styles xmlns:w=\"%1\"><w:docDefaults><w:rPrDefault><w:rPr>"
        "<w:rFonts w:ascii=\"%2\" w:eastAsia=\"%2\" w:hAnsi=\"%2\" w:cs=\"%2\"/>"
        "<w:sz w:val=\"%3\"/><w:szCs w:val=\"%3\"/><w:lang w:val=\"en-US\" w:eastAsia=\"zh-CN\" w:bidi=\"ar-SA\"/>"
        "</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" w:lineRule=\"auto\"/>"
        "</w:pPr></w:pPrDefault></w:docDefaults>"
        "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/><w:qFormat/></w:style>"
        "<w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\"><w:name w:val=\"Normal Table\"/>"
        "<w:tblPr><w:tblInd w:w=\"0\" w:type=\"dxa\"/><w:tblCellMar><w:top w:w=\"0\" w:type=\"dxa\"/>"
        "<w:left w:w=\"108\" w:type=\"dxa\"/><w:bottom w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/>"
        "</w:tblCellMar></w:tblPr></w:style></w:styles>\n").arg(W, m_font.toHtmlEscaped(), size);
    const QString settings = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:settings xmlns:w=\"%1\"><w:defaultTabStop w:val=\"420\"/>"
        "<w:characterSpacingControl w:val=\"compressPunctuation\"/></w:settings>\n").arg(W);
    const char *types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml\"/>"
        "<Override PartName=\"/word/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
        "<Override PartName=\"/word/settings.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml\"/>"
        "</Types>\n";
    const char *rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
        "Target=\"word/document.xml\"/></Relationships>\n";
    const char *documentRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
        "<Relationship Id=\"rId2\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings\" Target=\"settings.xml\"/>"
        "</Relationships>\n";

    Package package;
    package.setPart(QStringLiteral("[Content_Types].xml"), types);
    package.setPart(QStringLiteral("_rels/.rels"), rels);
    package.setPart(QStringLiteral("word/document.xml"), m_document);
    package.setPart(QStringLiteral("word/_rels/document.xml.rels"), documentRels);
    package.setPart(QStringLiteral("word/styles.xml"), styles.toUtf8());
    package.setPart(QStringLiteral("word/settings.xml"), settings.toUtf8());
    return package;
}

} // namespace

Package buildTemplate(const QString &description)
{
    struct Statement
    {
        int line;
        QString text;
    };
    QList<Statement> statements;
    const QStringList lines = description.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#')))
            statements.append({i + 1, trimmed});
    }
    Builder builder;
    for (qsizetype i = 0; i < statements.size(); ++i)
        builder.statement(statements[i].line, statements[i].text, i + 1 < statements.size() ? statements[i + 1].text : QString());
    return builder.finish();
}

} // namespace word

namespace word {

namespace {

void expandInto(const QString &path, QMap<QString, QString> &values, QStringList &out, int depth)
{
    QFile file(path);
    if (depth > 8 || !file.open(QIODevice::ReadOnly))
        throw WordError(QString::fromUtf8("无法读取模板描述 %1").arg(QDir::toNativeSeparators(path)));
    for (QString line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("include "))) {
            expandInto(QFileInfo(path).dir().filePath(trimmed.mid(8).trimmed()), values, out, depth + 1);
            continue;
        }
        if (trimmed.startsWith(QLatin1String("set "))) {
            // The value is the rest of the line, perhaps empty.
            const QString setting = trimmed.mid(4).trimmed();
            const qsizetype space = setting.indexOf(QLatin1Char(' '));
            values.insert(setting.left(space), space < 0 ? QString() : setting.mid(space + 1).trimmed());
            out << QString(); // keeps the line count of the file
            continue;
        }
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            line.replace(QLatin1Char('$') + it.key(), it.value());
        out << line;
    }
}

} // namespace

Package buildTemplateFile(const QString &path)
{
    QMap<QString, QString> values;
    QStringList lines;
    expandInto(path, values, lines, 0);
    return buildTemplate(lines.join(QLatin1Char('\n')));
}

} // namespace word
