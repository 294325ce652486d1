#pragma once
// A Word document in memory, made from an Office Open XML template or file.
// Text goes in where the document's bookmarks stand, as Word's
// Bookmarks(name).Range.InsertAfter(text) puts it there: right after the
// bookmark, in the bookmark's paragraph, each carriage return starting a new
// paragraph of the same kind.
#include "Package.h"

#include <QDomDocument>
#include <QHash>
#include <QString>
#include <QStringList>

namespace word {

class Document
{
public:
    // Reads a template (.dotx) or document (.docx). Throws WordError when it
    // is no Word document.
    static Document open(const QString &path);
    Document(Package package, const QString &what);
    // A document of its own with the same content, without parsing again.
    Document copy() const;

    Document(Document &&) = default;
    Document &operator=(Document &&) = default;
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    // The bookmark names in document order.
    QStringList bookmarks() const;
    // Bookmark names are matched without regard to case, as Word does.
    bool hasBookmark(const QString &name) const;

    // Throws WordError naming the bookmark when the document has none of
    // that name. Characters XML cannot carry (other control characters than
    // tab and line ends) are left out.
    void insertAfter(const QString &bookmark, const QString &text);

    // What follows the bookmark up to the next bookmark, table or the end of
    // its table cell (or of the document): paragraphs joined by "\r", tabs as
    // "\t". Throws WordError when there is no such bookmark.
    QString textAfter(const QString &bookmark) const;

    // Whether the file was a template rather than a document.
    bool isTemplate() const;
    // The document as a .docx file: a template's parts, marked as a document.
    QByteArray toDocx() const;

private:
    Document() = default;
    void indexBookmarks();
    QString w(const char *local) const;
    bool isW(const QDomNode &n, const char *local) const;
    QDomElement childW(const QDomElement &parent, const char *local) const;
    QDomElement bookmarkStart(const QString &name) const;
    QDomElement bookmarkEnd(const QDomElement &start) const;
    QDomElement runPropertiesAt(const QDomElement &paragraph, const QDomNode &anchor) const;
    QDomElement makeRun(const QString &text, const QDomElement &rPr);

    Package m_package;
    QString m_what;
    QString m_mainPart;
    QDomDocument m_xml;
    QString m_prefix = QStringLiteral("w:"); // of the WordprocessingML namespace
    // Insertions add no bookmarks, so the elements are indexed once.
    QStringList m_names;                   // in document order
    QHash<QString, QDomElement> m_starts;  // by lower-case name, the first of a name
    QHash<QString, QDomElement> m_ends;    // by id
};

} // namespace word
