#include "Application.h"

#include "WordError.h"
#include "ui/Clock.h"
#include "ui/DesktopOpener.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <sys/stat.h>

namespace word {

namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

// Writes bytes into a file that must not exist yet; false when it does.
bool writeNew(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFileInfo::exists(path))
            return false;
        throw WordError(QString::fromUtf8("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    const QString error = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        throw WordError(QString::fromUtf8("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), error));
    }
    return true;
}

// Templates as parsed, by path, with the identity, size and time of the
// file then: every document made from a template while its file stays as it
// is copies the parsed tree instead of reading and parsing it again.
struct ParsedTemplate
{
    QByteArray stamp;
    std::shared_ptr<const Document> document;
};

QByteArray fileStamp(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QByteArray::number(qulonglong(st.st_dev)) + ':' + QByteArray::number(qulonglong(st.st_ino)) + ':'
           + QByteArray::number(qlonglong(st.st_size)) + ':' + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.'
           + QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
}

const Document &parsedTemplate(const QString &path)
{
    static QHash<QString, ParsedTemplate> parsed;
    const QByteArray stamp = fileStamp(path);
    ParsedTemplate &slot = parsed[QFileInfo(path).absoluteFilePath()];
    if (!slot.document || stamp.isEmpty() || slot.stamp != stamp) {
        slot.document.reset();
        slot.document = std::make_shared<const Document>(Document::open(path));
        slot.stamp = stamp;
    }
    return *slot.document;
}

} // namespace

Document &Application::addDocument(const QString &templatePath)
{
    auto document = std::make_unique<Document>(parsedTemplate(templatePath).copy());
    m_documents.push_back({QFileInfo(templatePath).completeBaseName(), std::move(document)});
    return *m_documents.back().document;
}

Document &Application::document(int index)
{
    if (index < 1 || index > documentCount())
        throw WordError(QString::fromUtf8("没有第 %1 个文档").arg(index));
    return *m_documents[size_t(index - 1)].document;
}

QList<Application::Shown> Application::show()
{
    QList<Shown> shown;
    if (!m_visible)
        return shown;
    const QString folder = documentFolder();
    if (!QDir().mkpath(folder))
        throw WordError(QString::fromUtf8("无法建立文件夹 %1").arg(QDir::toNativeSeparators(folder)));
    for (const Entry &e : m_documents) {
        const QByteArray bytes = e.document->toDocx();
        // Another program may take a name between the choice and the write.
        QString path;
        do
            path = uniqueFileName(folder, e.name, QStringLiteral("docx"));
        while (!writeNew(path, bytes));
        shown.append({path, ui::openDocument(path)});
    }
    return shown;
}

QString documentFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(QStringLiteral("Corvane"));
}

QString setDocumentFolder(QString folder)
{
    std::swap(folder, folderOverride());
    return folder;
}

QString uniqueFileName(const QString &folder, const QString &base, const QString &extension)
{
    const QString stamped = base + QLatin1Char(' ') + ui::now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = QDir(folder).filePath(stamped + QLatin1Char('.') + extension);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(QStringLiteral("%1 (%2).%3").arg(stamped).arg(n).arg(extension));
    return path;
}

} // namespace word
