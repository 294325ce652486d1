#pragma once
// Generated tables for the benchmarks: every column filled, Chinese texts,
// memos of a few hundred bytes.
#include <QString>

// The key of record i: one of `years` years from 2005 down, and a sequence.
QString benchKey(int i, int years = 5);
// Creates table `name` in dir with `rows` rows. Child rows (keys > 0) cycle
// through the keys of the first `keys` records. category "" rotates 1, 2, 3.
void fillBenchTable(const QString &dir, const QString &name, int rows, int keys, int years = 5,
                    const QString &category = {});
// A data folder as an organisation's grows: `records` achievement records,
// recordsPerYear of each year (the newest year lists about a third of them
// per category), ten rows per record in each child table, the own unit
// registered. 0 records: a new folder with the unit registered.
void makeBenchFolder(const QString &dir, int records, int recordsPerYear = 1000);
