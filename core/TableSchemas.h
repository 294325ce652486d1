#pragma once
// Every table of the data folder: file name and columns in their order.
#include "db/file/DbfFile.h"

#include <QString>
#include <QVector>

struct TableSchema
{
    QString fileName;  // as created when missing
    QString delivered; // name of the delivered rows in resources, or empty
    QVector<db::ColumnDef> columns;
};

const QVector<TableSchema> &allTableSchemas();
// The schema of a table by file or table name, any case; nullptr if unknown.
const TableSchema *tableSchema(const QString &name);
// The width in bytes of a text column of a table; 0 for any other column.
int textColumnWidth(const QString &table, const QString &column);
// How many integer digits a number column of a table holds; 0 for any other column.
int numberColumnDigits(const QString &table, const QString &column);
