#pragma once
// What the Word tests check of a written document: that a word processor can
// open it. Read with QuaZip and QtXml, independently of the Word layer.
#include <QDomDocument>
#include <QSet>
#include <QStringList>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace docx {

inline const QString W = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");

inline QList<QDomElement> elements(QDomDocument doc, const char *local)
{
    QList<QDomElement> out;
    const QDomNodeList list = doc.elementsByTagNameNS(W, QString::fromLatin1(local));
    for (int i = 0; i < list.size(); ++i)
        out << list.at(i).toElement();
    return out;
}

inline QDomElement lastChildElement(const QDomElement &e)
{
    for (QDomNode n = e.lastChild(); !n.isNull(); n = n.previousSibling())
        if (n.isElement())
            return n.toElement();
    return {};
}

// What keeps the file at path from being a sound .docx document; empty when nothing.
inline QStringList problems(const QString &path)
{
    QStringList out;
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return {"no zip"};
    QHash<QString, QDomDocument> parts;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString name = zip.getCurrentFileName();
        QuaZipFile f(&zip);
        if (!f.open(QIODevice::ReadOnly)) {
            out << "unreadable " + name;
            continue;
        }
        QDomDocument doc;
        QString error;
        if (!doc.setContent(f.readAll(), true, &error))
            out << name + ": " + error;
        parts.insert(name, doc);
    }
    for (const char *needed : {"[Content_Types].xml", "_rels/.rels", "word/document.xml"})
        if (!parts.contains(needed))
            out << QString("missing ") + needed;
    if (!out.isEmpty())
        return out;

    bool mainIsDocument = false;
    const QDomNodeList overrides = parts["[Content_Types].xml"].elementsByTagName("Override");
    for (int i = 0; i < overrides.size(); ++i) {
        const QDomElement o = overrides.at(i).toElement();
        const QString part = o.attribute("PartName").mid(1);
        if (!parts.contains(part))
            out << "content type of a missing part " + part;
        if (part == "word/document.xml")
            mainIsDocument = o.attribute("ContentType").endsWith("wordprocessingml.document.main+xml");
    }
    if (!mainIsDocument)
        out << "main part not marked as a document";
    for (const QString &rels : {QString("_rels/.rels"), QString("word/_rels/document.xml.rels")}) {
        const QDomNodeList list = parts[rels].elementsByTagName("Relationship");
        const QString base = rels.startsWith("word/") ? "word/" : "";
        for (int i = 0; i < list.size(); ++i)
            if (!parts.contains(base + list.at(i).toElement().attribute("Target")))
                out << rels + " names a missing part";
    }

    const QDomDocument doc = parts["word/document.xml"];
    QSet<QString> startIds, endIds, names;
    for (const QDomElement &b : elements(doc, "bookmarkStart")) {
        const QString id = b.attributeNS(W, "id"), name = b.attributeNS(W, "name").toLower();
        if (startIds.contains(id) || names.contains(name))
            out << "bookmark twice: " + name;
        startIds.insert(id);
        names.insert(name);
    }
    for (const QDomElement &b : elements(doc, "bookmarkEnd"))
        endIds.insert(b.attributeNS(W, "id"));
    if (startIds != endIds)
        out << "bookmark starts and ends do not pair";
    for (const QDomElement &tc : elements(doc, "tc"))
        if (lastChildElement(tc).localName() != "p")
            out << "a table cell that does not end with a paragraph";
    const QList<QDomElement> bodies = elements(doc, "body");
    if (bodies.size() != 1 || lastChildElement(bodies[0]).localName() != "sectPr")
        out << "the body does not end with its section";
    return out;
}

// The document part of the file at path, namespaces kept.
inline QDomDocument documentXml(const QString &path)
{
    QDomDocument doc;
    QuaZip zip(path);
    if (zip.open(QuaZip::mdUnzip) && zip.setCurrentFile("word/document.xml")) {
        QuaZipFile f(&zip);
        if (f.open(QIODevice::ReadOnly))
            doc.setContent(f.readAll(), true);
    }
    return doc;
}

inline QString textOf(const QDomElement &e)
{
    QString out;
    const QDomNodeList texts = e.elementsByTagNameNS(W, "t");
    for (int i = 0; i < texts.size(); ++i)
        out += texts.at(i).toElement().text();
    return out;
}

// What keeps the pages of the document at path from coming out as laid
// out: a page break in a paragraph of its own (after a table that fills its
// page it leaves an empty one), a heading that does not start its page or
// is not kept with its table, a long text whose row may not run on over a
// page and so leaves its heading alone.
inline QStringList pageFaults(const QString &path, const QStringList &headings, const QStringList &longTexts)
{
    QStringList out;
    const QDomDocument doc = documentXml(path);
    for (const QDomElement &br : elements(doc, "br"))
        if (br.attributeNS(W, "type") == "page")
            out << "a page break in a paragraph of its own before \"" + textOf(br.parentNode().parentNode().nextSiblingElement()) + "\"";
    for (const QString &heading : headings) {
        bool starts = false, found = false;
        for (const QDomElement &p : elements(doc, "p"))
            if (p.parentNode().localName() == "body" && textOf(p) == heading) {
                found = true;
                starts = !p.elementsByTagNameNS(W, "pageBreakBefore").isEmpty();
            }
        if (!found || !starts)
            out << QString("\"%1\" %2").arg(heading, found ? "does not start a page" : "is missing");
    }
    for (const QDomElement &p : elements(doc, "p"))
        if (p.parentNode().localName() == "body" && !textOf(p).isEmpty() && p.nextSiblingElement().localName() == "tbl"
            && p.elementsByTagNameNS(W, "keepNext").isEmpty())
            out << "\"" + textOf(p) + "\" may stay behind alone when its table starts the next page";
    for (const QString &bookmark : longTexts)
        for (const QDomElement &b : elements(doc, "bookmarkStart"))
            if (b.attributeNS(W, "name") == bookmark) {
                QDomNode row = b;
                while (!row.isNull() && row.localName() != "tr")
                    row = row.parentNode();
                if (row.isNull() || !row.toElement().elementsByTagNameNS(W, "cantSplit").isEmpty())
                    out << "the row of " + bookmark + " cannot run on over a page";
            }
    return out;
}

} // namespace docx
