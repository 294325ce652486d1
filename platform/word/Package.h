#pragma once
// The zip container of an Office Open XML file: its parts by name, in the
// order they are stored.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace word {

class Package
{
public:
    // Throws WordError when the file is no readable zip or a part is
    // unreasonably large.
    static Package read(const QString &path);
    static Package fromBytes(const QByteArray &zip, const QString &what);

    // The zip's bytes. Entries carry a fixed time stamp, so the same parts
    // always give the same bytes.
    QByteArray toBytes() const;

    bool contains(const QString &name) const;
    // Empty when absent.
    QByteArray part(const QString &name) const;
    // Replaces the part or adds it at the end.
    void setPart(const QString &name, const QByteArray &bytes);
    QStringList names() const;

private:
    QList<std::pair<QString, QByteArray>> m_parts;
};

} // namespace word
