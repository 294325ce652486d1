#pragma once
// GDAL's converter as the reference of the exchange benchmarks: the tables
// of a folder written as CSV, and those CSVs written back as dBASE tables,
// each run as a process of its own so that its CPU time counts as a child's.
#include <QString>
#include <QStringList>

namespace benchmark {
class State;
}

// Whether ogr2ogr is on the path. The first time it is not, says so once
// (where to get it and what the figures then stand beside).
bool gdalInstalled();
// Without GDAL, labels the benchmark, runs it empty and returns true.
bool skippedWithoutGdal(benchmark::State &state);
// Keeps seconds as name_<n>k and shows them beside the scan and GDAL's
// figure at the same size and, above 10,000, beside its own at 10,000.
void besideExchangeReferences(benchmark::State &state, const char *name, int records, double seconds);

// Each table of dir (a .dbf name without extension) as out/<table>.csv with
// its column types beside it (.csvt), text in UTF-8 as GDAL writes it.
void gdalTablesToCsv(const QString &dir, const QStringList &tables, const QString &out);
// Each out/<table>.csv of csvDir as the dBASE table out/<table>.dbf in GBK.
void gdalCsvToDbase(const QString &csvDir, const QStringList &tables, const QString &out);
