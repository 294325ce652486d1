#pragma once
// The stand-in for a Word instance driven by automation: documents are added
// from templates, filled at their bookmarks and, when the instance is
// visible, handed to the user. Here handing over means writing each document
// under a new name into the documents folder and opening it with the
// desktop's program for such files.
#include "Document.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

namespace word {

class Application
{
public:
    void setVisible(bool on) { m_visible = on; }
    bool visible() const { return m_visible; }

    // A new document made from the template becomes the instance's last
    // document; throws WordError when the template cannot be read.
    Document &addDocument(const QString &templatePath);
    int documentCount() const { return int(m_documents.size()); }
    // Counted from 1, as Word counts its documents.
    Document &document(int index);

    struct Shown
    {
        QString path;
        bool opened = false; // false: written, but the desktop could not open it
    };
    // Writes every document of a visible instance under a new name into
    // documentFolder() and opens it; nothing for a hidden one. Throws
    // WordError when a document cannot be written.
    QList<Shown> show();

private:
    friend QList<Shown> showDocuments(const std::vector<Application *> &instances);
    struct Entry
    {
        QString name; // the template's name, which the written file takes
        std::unique_ptr<Document> document;
    };
    bool m_visible = false;
    std::vector<Entry> m_documents;
};

// Shows the documents of several instances as one set (a form's cover and
// body): each is written under a temporary name first, and only when all are
// complete are they put in place under new names and opened. A failure
// throws WordError and leaves none of them.
QList<Application::Shown> showDocuments(const std::vector<Application *> &instances);

// Where shown documents go: the user's documents folder, in a folder named
// after the program.
QString documentFolder();
// Replaces that folder (tests) and returns the replacement before; an empty
// folder brings back the user's.
QString setDocumentFolder(QString folder);

// A file name in folder that nothing has yet (not even a link to nothing):
// base, the time and, when needed, a number, with the extension.
QString uniqueFileName(const QString &folder, const QString &base, const QString &extension);

} // namespace word
