#include "GdalReference.h"

#include "BenchData.h"
#include "db/file/DbfFile.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <stdexcept>

namespace {

void runOgr2ogr(const QStringList &arguments)
{
    QProcess gdal;
    gdal.setProcessChannelMode(QProcess::MergedChannels);
    gdal.start(QStringLiteral("ogr2ogr"), arguments);
    if (!gdal.waitForFinished(-1) || gdal.exitStatus() != QProcess::NormalExit || gdal.exitCode() != 0)
        throw std::runtime_error("ogr2ogr " + arguments.join(' ').toStdString() + " failed: "
                                 + gdal.readAll().toStdString());
}

void markWithoutGdal(benchmark::State &state)
{
    state.SetLabel("no GDAL: apt-get install gdal-bin");
}

} // namespace

bool gdalInstalled()
{
    static const bool installed = [] {
        const bool found = !QStandardPaths::findExecutable(QStringLiteral("ogr2ogr")).isEmpty();
        if (!found)
            std::fprintf(stderr, "GDAL's ogr2ogr is not installed (Debian package gdal-bin): the exchange "
                                 "figures stand beside the full scan only.\n");
        return found;
    }();
    return installed;
}

bool skippedWithoutGdal(benchmark::State &state)
{
    if (gdalInstalled())
        return false;
    markWithoutGdal(state);
    for (auto _ : state)
        state.SetIterationTime(0);
    return true;
}

void besideExchangeReferences(benchmark::State &state, const char *name, int records, double seconds)
{
    keepReference(state, sized(name, records), seconds);
    besideReference(state, sized("scan", records), seconds);
    if (gdalInstalled())
        besideReference(state, sized("gdal", records), seconds);
    else
        markWithoutGdal(state);
    if (records > 10000)
        besideReference(state, sized(name, 10000), seconds);
}

void gdalTablesToCsv(const QString &dir, const QStringList &tables, const QString &out)
{
    for (const QString &t : tables)
        runOgr2ogr({"-f", "CSV", "-lco", "CREATE_CSVT=YES", QDir(out).filePath(t + ".csv"),
                    db::DbfFile::findFile(dir, t)});
}

void gdalCsvToDbase(const QString &csvDir, const QStringList &tables, const QString &out)
{
    for (const QString &t : tables)
        runOgr2ogr({"-f", "ESRI Shapefile", "-lco", "ENCODING=CP936", QDir(out).filePath(t + ".dbf"),
                    QDir(csvDir).filePath(t + ".csv")});
}
