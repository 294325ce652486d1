#include "Application.h"

#include "WordError.h"
#include "ui/Clock.h"
#include "ui/DesktopOpener.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <sys/stat.h>

namespace word {

namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

// Anything at all under the name, a link to nothing included: a new
// file cannot take it.
bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString writeError(const QString &path, const QString &error)
{
    return QString::fromUtf8("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), error);
}

// A document written whole under a hidden temporary name beside its place.
std::unique_ptr<QTemporaryFile> writeTemporary(const QString &folder, const QByteArray &bytes)
{
    auto file = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral(".~corvane-XXXXXX.docx")));
    if (!file->open())
        throw WordError(writeError(folder, file->errorString()));
    const bool written = file->write(bytes) == bytes.size() && file->flush();
    file->close();
    if (!written || file->error() != QFileDevice::NoError)
        throw WordError(writeError(file->fileName(), file->errorString()));
    return file;
}

// Moves the written file to path, which must not exist; false when another
// program has taken the name since it was chosen.
bool placeAt(QTemporaryFile &file, const QString &path)
{
    if (file.rename(path)) {
        file.setAutoRemove(false);
        return true;
    }
    if (taken(path))
        return false;
    throw WordError(writeError(path, file.errorString()));
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
    return showDocuments({this});
}

QList<Application::Shown> showDocuments(const std::vector<Application *> &instances)
{
    struct Written
    {
        QString name;
        std::unique_ptr<QTemporaryFile> file;
    };
    std::vector<Written> written;
    bool any = false;
    for (const Application *app : instances)
        any = any || (app->m_visible && !app->m_documents.empty());
    if (!any)
        return {};
    const QString folder = documentFolder();
    if (!QDir().mkpath(folder))
        throw WordError(QString::fromUtf8("无法建立文件夹 %1").arg(QDir::toNativeSeparators(folder)));
    for (const Application *app : instances)
        if (app->m_visible)
            for (const Application::Entry &e : app->m_documents)
                written.push_back({e.name, writeTemporary(folder, e.document->toDocx())});

    QStringList placed;
    try {
        for (Written &w : written) {
            QString path;
            do
                path = uniqueFileName(folder, w.name, QStringLiteral("docx"));
            while (!placeAt(*w.file, path));
            placed << path;
        }
    } catch (...) {
        for (const QString &path : placed)
            QFile::remove(path);
        throw;
    }
    QList<Application::Shown> shown;
    for (const QString &path : placed)
        shown.append({path, ui::openDocument(path)});
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
    for (int n = 2; taken(path); ++n)
        path = QDir(folder).filePath(QStringLiteral("%1 (%2).%3").arg(stamped).arg(n).arg(extension));
    return path;
}

} // namespace word
