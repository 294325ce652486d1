// Makes one Word template at build time from its readable description:
//   corvane_wordtemplate <description.txt> <template.dotx>
#include "word/TemplateBuilder.h"
#include "word/WordError.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: corvane_wordtemplate <description> <template.dotx>\n");
        return 2;
    }
    try {
        const QByteArray bytes = word::buildTemplateFile(args[1]).toBytes();
        QSaveFile out(args[2]);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(args[2]), qPrintable(out.errorString()));
            return 1;
        }
    } catch (const word::WordError &e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]), e.what());
        return 1;
    }
    return 0;
}
