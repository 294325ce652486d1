#pragma once
// Shared by the table fuzz targets: an input holds the bytes of a table, and
// after a line "%%DBT%%" those of its memo file, and after a line "%%CPG%%"
// those of its code-page file. The files are written to a scratch folder
// that lives as long as the process.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

struct FuzzTable
{
    QByteArray dbf, dbt, cpg;
    bool hasDbt = false, hasCpg = false;
};

FuzzTable splitFuzzInput(const uint8_t *data, size_t size);
// Writes the table as table "fuzz" into a fresh scratch folder; returns it.
QString writeFuzzTable(const FuzzTable &t);
