#pragma once
// A PDF file written as it goes: numbered objects, streams compressed, the
// page tree and the cross-reference table at its end. Knows nothing of what
// the pages show.
#include <QByteArray>
#include <QList>
#include <QSizeF>


class QIODevice;

namespace report {

class PdfDocument
{
public:
    explicit PdfDocument(QIODevice &out);
    ~PdfDocument();

    // A number for an object written later.
    int reserve();
    // Object id with body, a dictionary or any other PDF object.
    void object(int id, const QByteArray &body);
    // Object id as a stream with data, compressed; dict holds the entries
    // besides /Length and /Filter.
    void stream(int id, const QByteArray &dict, const QByteArray &data);
    // The same with data compressed by deflate() already.
    void packedStream(int id, const QByteArray &dict, const QByteArray &packed);
    // data as a zlib stream, what /FlateDecode reads: Fast for what is
    // written once, Small for what is kept and written again.
    enum Packing { Fast, Small };
    static bool deflate(const QByteArray &data, QByteArray &packed, Packing packing);
    // A page of size points with its content stream, drawing with the
    // resources of object resources.
    void page(const QSizeF &size, const QByteArray &content, int resources);
    // The page tree, catalog, document info and cross references; false when
    // anything could not be written.
    bool finish(const QString &title, const QString &creator);

    // PDF number syntax, to three decimals.
    static void number(QByteArray &out, double v);
    static void integer(QByteArray &out, qint64 v);
    // A reference to object id: "id 0 R".
    static void reference(QByteArray &out, int id);
    // A text string (UTF-16 with its byte order mark, hex).
    static QByteArray text(const QString &s);

private:
    void write(const QByteArray &bytes);
    void write(int id, const QByteArray &dict, const QByteArray &body, bool packed);
    void begin(int id);

    QIODevice &m_out;
    qint64 m_at = 0;
    bool m_ok = true;
    QList<qint64> m_offsets; // by object number; 0 for object 0 and the ones not yet written
    QList<int> m_pages;
    int m_pageTree;
};

} // namespace report
