#pragma once
// The data module: every table and query of the program, pointed at the
// data folder, packed and opened once at start-up and kept open to the end.
#include "db/dataset/DataSource.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"

#include <QObject>
#include <QString>

extern QString DataDir;
extern bool HasZtflh;
extern bool HasXkfl;

class TDM : public QObject
{
    Q_OBJECT

public:
    explicit TDM(QObject *parent = nullptr);

    // Points everything at dataDir, packs the stored tables and opens the
    // datasets, in start-up order. An error ends the creation at the failing
    // step and propagates; the datasets opened so far stay open. Packs that
    // fail (a full disk) do not end it: the user is told once.
    void DataModuleCreate(const QString &dataDir);

    // A pack that fails leaves the table as it was, closed and usable; the
    // failure is kept for the message after the packing.
    void PackTable(db::Table *table, const QString &fileName);
    bool PackOpenTable(db::Table *table);
    void OpenSql(db::Query *query, const QString &statement);

    // Queries
    db::Query *Qrykjcg, *tempquery, *Query1, *Query2;
    db::Query *QryCgwcdw, *QryCgwcr, *QryJdwyhmd;
    db::Query *QryCheckUp, *Qrydwqk, *Qryunit, *Qryexpert, *QryJdwyhmd_191;
    // Tables
    db::Table *Tblkjcg, *T_temp_out, *T_temp_in, *Table_pack;
    db::Table *TblCgwcdw, *TblCgwcr, *Tbljdwyhmd, *tblzlqk;
    db::Table *Tblunit, *Tblexpert, *TblwcrNew, *TableWcrTemp;
    db::Table *Tblzdxx, *tblzdxx1, *tblProvince, *tblLsbw, *TblDFJHZDXX, *Tblgxjs, *Tztflh2, *Txkfl2;
    db::Table *Table1, *Table2;
    // Filtered views of the code dictionary behind the lookup columns
    db::Table *TblCgwcr_181, *TblCgwcr_183, *TblCgwcr_184, *TblCgwcr_188;
    db::Table *Tbljdwyhmd_191, *Tbljdwyhmd_193, *Tbljdwyhmd_198;
    db::Table *Tblzlqk_st, *Tblzlqk_ty, *Tblexpert_181, *Tblexpert_124_1, *Tblexpert_183, *Tblexpert_184;
    // Data sources
    db::DataSource *DSQkjcg, *DSTkjcg, *DS_null;
    db::DataSource *DSQCgwcdw, *DSQCgwcr, *DSQJdwyhmd, *DSTzlqk, *DSTwcrNew, *DSTexpert, *DSQunit;
    db::DataSource *DSTcgwcr; // the whole completing-person table
    db::DataSource *DS_temp_in; // the staged records of the import

private:
    template<typename T>
    T *make(const char *name);
    void declareLookups();
    void reportUnpacked();

    struct Unpacked
    {
        QString fileName;
        QString why;
        bool diskFull;
    };
    QList<Unpacked> m_unpacked;
};

extern TDM *DM;
