#include "Document.h"

#include "WordError.h"

#include <QDir>
#include <QRegularExpression>

namespace word {

namespace {

const QString W = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QByteArray kTemplateType = "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml";
const QByteArray kDocumentType = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";

// The main part named by the package relationships; Word's usual place
// when they name none.
QString mainPartName(const Package &package)
{
    QDomDocument rels;
    if (rels.setContent(package.part(QStringLiteral("_rels/.rels")))) {
        const QDomNodeList list = rels.elementsByTagName(QStringLiteral("Relationship"));
        for (int i = 0; i < list.size(); ++i) {
            const QDomElement r = list.at(i).toElement();
            if (r.attribute(QStringLiteral("Type")).endsWith(QLatin1String("/officeDocument"))) {
                QString target = r.attribute(QStringLiteral("Target"));
                while (target.startsWith(QLatin1Char('/')))
                    target.remove(0, 1);
                return target;
            }
        }
    }
    return QStringLiteral("word/document.xml");
}

// The parser drops text made of blanks alone, which in a document is text
// like any other (blanks under a line to write on); as character data it
// is kept.
QByteArray keepBlankTexts(const QByteArray &xml)
{
    static const QRegularExpression blankText(QStringLiteral("(<(\\w+:)?t(?:\\s[^>]*)?>)(\\s+)(</\\2t>)"));
    QString text = QString::fromUtf8(xml);
    text.replace(blankText, QStringLiteral("\\1<![CDATA[\\3]]>\\4"));
    return text.toUtf8();
}

// Characters an XML document cannot hold.
bool xmlAllows(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0x20 ? (u != 0xFFFE && u != 0xFFFF) : (u == '\t' || u == '\n' || u == '\r');
}

// The text's paragraphs: CR LF, CR and LF each end one.
QStringList paragraphsOf(const QString &text)
{
    QStringList out{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out.append(QString());
        } else if (xmlAllows(c)) {
            out.last().append(c);
        }
    }
    return out;
}

// The next node in document order, not leaving container.
QDomNode nextInside(QDomNode n, const QDomNode &container, bool descend)
{
    if (descend && n.hasChildNodes())
        return n.firstChild();
    while (!n.isNull() && n != container) {
        if (!n.nextSibling().isNull())
            return n.nextSibling();
        n = n.parentNode();
    }
    return {};
}

} // namespace

// The part is read without namespace processing, so it is written back with
// its own declarations and nothing added; elements of the WordprocessingML
// namespace are found under the prefix the part declares for it.
QString Document::w(const char *local) const
{
    return m_prefix + QLatin1String(local);
}

bool Document::isW(const QDomNode &n, const char *local) const
{
    return n.isElement() && n.nodeName() == w(local);
}

QDomElement Document::childW(const QDomElement &parent, const char *local) const
{
    return parent.firstChildElement(w(local));
}

Document Document::open(const QString &path)
{
    return Document(Package::read(path), QDir::toNativeSeparators(path));
}

Document::Document(Package package, const QString &what)
    : m_package(std::move(package)), m_what(what), m_mainPart(mainPartName(m_package))
{
    if (!m_package.contains(m_mainPart) || !m_xml.setContent(keepBlankTexts(m_package.part(m_mainPart))))
        throw WordError(QString::fromUtf8("文件 %1 不是可读的Word文档").arg(m_what));
    const QDomNamedNodeMap attributes = m_xml.documentElement().attributes();
    for (int i = 0; i < attributes.size(); ++i) {
        const QDomAttr a = attributes.item(i).toAttr();
        if (a.value() == W && a.name() == QLatin1String("xmlns"))
            m_prefix.clear();
        else if (a.value() == W && a.name().startsWith(QLatin1String("xmlns:")))
            m_prefix = a.name().mid(6) + QLatin1Char(':');
    }
    indexBookmarks();
}

Document Document::copy() const
{
    Document d;
    d.m_package = m_package;
    d.m_what = m_what;
    d.m_mainPart = m_mainPart;
    d.m_prefix = m_prefix;
    d.m_xml = m_xml.cloneNode(true).toDocument();
    d.indexBookmarks();
    return d;
}

void Document::indexBookmarks()
{
    const QDomNodeList starts = m_xml.elementsByTagName(w("bookmarkStart"));
    for (int i = 0; i < starts.size(); ++i) {
        const QDomElement e = starts.at(i).toElement();
        const QString name = e.attribute(w("name"));
        m_names << name;
        if (!m_starts.contains(name.toLower()))
            m_starts.insert(name.toLower(), e);
    }
    const QDomNodeList ends = m_xml.elementsByTagName(w("bookmarkEnd"));
    for (int i = 0; i < ends.size(); ++i) {
        const QDomElement e = ends.at(i).toElement();
        if (!m_ends.contains(e.attribute(w("id"))))
            m_ends.insert(e.attribute(w("id")), e);
    }
}

QStringList Document::bookmarks() const
{
    return m_names;
}

bool Document::hasBookmark(const QString &name) const
{
    return !bookmarkStart(name).isNull();
}

QDomElement Document::bookmarkStart(const QString &name) const
{
    return m_starts.value(name.toLower());
}

QDomElement Document::bookmarkEnd(const QDomElement &start) const
{
    const QDomElement end = m_ends.value(start.attribute(w("id")));
    return end.isNull() ? start : end;
}

QDomElement Document::runPropertiesAt(const QDomElement &paragraph, const QDomNode &anchor) const
{
    // Word gives inserted text the formatting of the character before it:
    // the run before the insertion point, else the paragraph mark.
    for (QDomNode n = anchor; !n.isNull(); n = n.previousSibling())
        if (isW(n, "r")) {
            const QDomElement rPr = childW(n.toElement(), "rPr");
            if (!rPr.isNull())
                return rPr;
            break;
        }
    const QDomElement markProps = childW(childW(paragraph, "pPr"), "rPr");
    if (markProps.isNull())
        return {};
    QDomElement copy = markProps.cloneNode(true).toElement();
    // Revision marks belong to the paragraph mark only.
    for (const char *mark : {"ins", "del", "moveFrom", "moveTo", "rPrChange"}) {
        const QDomElement e = childW(copy, mark);
        if (!e.isNull())
            copy.removeChild(e);
    }
    return copy;
}

QDomElement Document::makeRun(const QString &text, const QDomElement &rPr)
{
    QDomElement run = m_xml.createElement(w("r"));
    if (!rPr.isNull())
        run.appendChild(rPr.cloneNode(true));
    const QStringList pieces = text.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            run.appendChild(m_xml.createElement(w("tab")));
        if (pieces[i].isEmpty())
            continue;
        QDomElement t = m_xml.createElement(w("t"));
        t.setAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        if (pieces[i].trimmed().isEmpty())
            t.appendChild(m_xml.createCDATASection(pieces[i]));
        else
            t.appendChild(m_xml.createTextNode(pieces[i]));
        run.appendChild(t);
    }
    return run;
}

void Document::insertAfter(const QString &bookmark, const QString &text)
{
    const QDomElement start = bookmarkStart(bookmark);
    if (start.isNull())
        throw WordError(QString::fromUtf8("文档 %1 中没有书签 %2").arg(m_what, bookmark));
    const QDomElement end = bookmarkEnd(start);
    QDomElement paragraph = end.parentNode().toElement();
    if (!isW(paragraph, "p"))
        throw WordError(QString::fromUtf8("文档 %1 的书签 %2 不在段落之内").arg(m_what, bookmark));

    const QDomElement rPr = runPropertiesAt(paragraph, end);
    const QStringList parts = paragraphsOf(text);
    QDomNode anchor = end; // insert after this; null: at the paragraph's start
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            // A new paragraph of the same kind takes what followed the insertion point.
            QDomElement next = m_xml.createElement(w("p"));
            const QDomElement pPr = childW(paragraph, "pPr");
            if (!pPr.isNull())
                next.appendChild(pPr.cloneNode(true));
            while (!anchor.nextSibling().isNull())
                next.appendChild(anchor.nextSibling());
            paragraph.parentNode().insertAfter(next, paragraph);
            paragraph = next;
            anchor = pPr.isNull() ? QDomNode() : paragraph.firstChild();
        }
        if (parts[i].isEmpty())
            continue;
        const QDomElement run = makeRun(parts[i], rPr);
        anchor = anchor.isNull() ? paragraph.insertBefore(run, paragraph.firstChild()) : paragraph.insertAfter(run, anchor);
    }
}

QString Document::textAfter(const QString &bookmark) const
{
    const QDomElement start = bookmarkStart(bookmark);
    if (start.isNull())
        throw WordError(QString::fromUtf8("文档 %1 中没有书签 %2").arg(m_what, bookmark));
    const QDomElement end = bookmarkEnd(start);
    QDomNode container = end.parentNode();
    while (!container.isNull() && !isW(container, "tc") && !isW(container, "body"))
        container = container.parentNode();

    QString out;
    for (QDomNode n = nextInside(end, container, false); !n.isNull(); n = nextInside(n, container, true)) {
        if (isW(n, "bookmarkStart") || isW(n, "tbl"))
            break;
        if (isW(n, "p"))
            out += QLatin1Char('\r');
        else if (isW(n, "tab"))
            out += QLatin1Char('\t');
        else if (isW(n, "br"))
            out += QLatin1Char('\n');
        else if ((n.isText() || n.isCDATASection()) && isW(n.parentNode(), "t"))
            out += n.nodeValue();
    }
    return out;
}

bool Document::isTemplate() const
{
    return m_package.part(QStringLiteral("[Content_Types].xml")).contains(kTemplateType);
}

QByteArray Document::toDocx() const
{
    Package out = m_package;
    QByteArray types = out.part(QStringLiteral("[Content_Types].xml"));
    types.replace(kTemplateType, kDocumentType);
    out.setPart(QStringLiteral("[Content_Types].xml"), types);
    QByteArray xml = m_xml.toByteArray(-1);
    if (!xml.startsWith("<?xml"))
        xml.prepend("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    out.setPart(m_mainPart, xml);
    return out.toBytes();
}

} // namespace word
