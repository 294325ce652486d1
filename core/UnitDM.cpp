#include "UnitDM.h"

#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/file/Disk.h"
#include "ui/MessageBox.h"

#include <QDir>

QString DataDir;
bool HasZtflh = false;
bool HasXkfl = false;
TDM *DM = nullptr;

namespace {

// Cached-update statements of the three list queries.
db::UpdateSql personsUpdate()
{
    return {"update cgwcr set ITEM_180=:ITEM_180, ITEM_181=:ITEM_181, ITEM_182=:ITEM_182, ITEM_185=:ITEM_185, "
            "ITEM_183=:ITEM_183, ITEM_184=:ITEM_184, ITEM_186=:ITEM_186, ITEM_187=:ITEM_187, ITEM_188=:ITEM_188 "
            "where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_180=:OLD_ITEM_180 and ITEM_187=:OLD_ITEM_187",
            "insert into cgwcr (ITEM_4, ITEM_DQDM, ITEM_187, ITEM_180, ITEM_181, ITEM_182, ITEM_183, ITEM_184, "
            "ITEM_185, ITEM_186, ITEM_188) values (:ITEM_4, :ITEM_DQDM, :ITEM_187, :ITEM_180, :ITEM_181, :ITEM_182, "
            ":ITEM_183, :ITEM_184, :ITEM_185, :ITEM_186, :ITEM_188)",
            "delete from cgwcr where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_187=:OLD_ITEM_187 "
            "and ITEM_180=:OLD_ITEM_180"};
}

db::UpdateSql committeeUpdate()
{
    return {"update jdwyhmd set ITEM_190=:ITEM_190, ITEM_191=:ITEM_191, ITEM_192=:ITEM_192, ITEM_193=:ITEM_193, "
            "ITEM_194=:ITEM_194, ITEM_195=:ITEM_195, ITEM_196=:ITEM_196, ITEM_197=:ITEM_197, ITEM_198=:ITEM_198, "
            "ITEM_199=:ITEM_199 where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_190=:OLD_ITEM_190 "
            "and ITEM_192=:OLD_ITEM_192",
            "insert into jdwyhmd (ITEM_4, ITEM_DQDM, ITEM_190, ITEM_191, ITEM_192, ITEM_193, ITEM_194, ITEM_195, "
            "ITEM_196, ITEM_197, ITEM_198, ITEM_199) values (:ITEM_4, :ITEM_DQDM, :ITEM_190, :ITEM_191, :ITEM_192, "
            ":ITEM_193, :ITEM_194, :ITEM_195, :ITEM_196, :ITEM_197, :ITEM_198, :ITEM_199)",
            "delete from jdwyhmd where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_190=:OLD_ITEM_190 "
            "and ITEM_192=:OLD_ITEM_192"};
}

db::UpdateSql unitsUpdate()
{
    return {"update cgwcdw set ITEM_170=:ITEM_170, ITEM_171=:ITEM_171, ITEM_172=:ITEM_172, ITEM_173=:ITEM_173, "
            "ITEM_174=:ITEM_174, ITEM_175=:ITEM_175, ITEM_176=:ITEM_176 "
            "where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_170=:OLD_ITEM_170 and ITEM_176=:OLD_ITEM_176",
            "insert into cgwcdw (ITEM_4, ITEM_DQDM, ITEM_176, ITEM_170, ITEM_171, ITEM_172, ITEM_173, ITEM_174, "
            "ITEM_175) values (:ITEM_4, :ITEM_DQDM, :ITEM_176, :ITEM_170, :ITEM_171, :ITEM_172, :ITEM_173, "
            ":ITEM_174, :ITEM_175)",
            "delete from cgwcdw where ITEM_4=:OLD_ITEM_4 and ITEM_DQDM=:OLD_ITEM_DQDM and ITEM_176=:OLD_ITEM_176 "
            "and ITEM_170=:OLD_ITEM_170"};
}

} // namespace

template<typename T>
T *TDM::make(const char *name)
{
    T *d = new T(this);
    d->setObjectName(QString::fromLatin1(name));
    return d;
}

TDM::TDM(QObject *parent) : QObject(parent)
{
    setObjectName("DM");
#define MAKE(type, name) name = make<type>(#name)
    MAKE(db::Query, Qrykjcg);
    MAKE(db::Query, tempquery);
    MAKE(db::Query, Query1);
    MAKE(db::Query, Query2);
    MAKE(db::Query, QryCgwcdw);
    MAKE(db::Query, QryCgwcr);
    MAKE(db::Query, QryJdwyhmd);
    MAKE(db::Query, QryCheckUp);
    MAKE(db::Query, Qrydwqk);
    MAKE(db::Query, Qryunit);
    MAKE(db::Query, Qryexpert);
    MAKE(db::Query, QryJdwyhmd_191);
    MAKE(db::Table, Tblkjcg);
    MAKE(db::Table, T_temp_out);
    MAKE(db::Table, T_temp_in);
    MAKE(db::Table, Table_pack);
    MAKE(db::Table, TblCgwcdw);
    MAKE(db::Table, TblCgwcr);
    MAKE(db::Table, Tbljdwyhmd);
    MAKE(db::Table, tblzlqk);
    MAKE(db::Table, Tblunit);
    MAKE(db::Table, Tblexpert);
    MAKE(db::Table, TblwcrNew);
    MAKE(db::Table, TableWcrTemp);
    MAKE(db::Table, Tblzdxx);
    MAKE(db::Table, tblzdxx1);
    MAKE(db::Table, tblProvince);
    MAKE(db::Table, tblLsbw);
    MAKE(db::Table, TblDFJHZDXX);
    MAKE(db::Table, Tblgxjs);
    MAKE(db::Table, Tztflh2);
    MAKE(db::Table, Txkfl2);
    MAKE(db::Table, Table1);
    MAKE(db::Table, Table2);
    MAKE(db::Table, TblCgwcr_181);
    MAKE(db::Table, TblCgwcr_183);
    MAKE(db::Table, TblCgwcr_184);
    MAKE(db::Table, TblCgwcr_188);
    MAKE(db::Table, Tbljdwyhmd_191);
    MAKE(db::Table, Tbljdwyhmd_193);
    MAKE(db::Table, Tbljdwyhmd_198);
    MAKE(db::Table, Tblzlqk_st);
    MAKE(db::Table, Tblzlqk_ty);
    MAKE(db::Table, Tblexpert_181);
    MAKE(db::Table, Tblexpert_124_1);
    MAKE(db::Table, Tblexpert_183);
    MAKE(db::Table, Tblexpert_184);
#undef MAKE
    DSQkjcg = new db::DataSource(this, Qrykjcg);
    DSTkjcg = new db::DataSource(this, Tblkjcg);
    DS_null = new db::DataSource(this);
    DSQCgwcdw = new db::DataSource(this, QryCgwcdw);
    DSQCgwcr = new db::DataSource(this, QryCgwcr);
    DSQJdwyhmd = new db::DataSource(this, QryJdwyhmd);
    DSTzlqk = new db::DataSource(this, tblzlqk);
    DSTwcrNew = new db::DataSource(this, TblwcrNew);
    DSTexpert = new db::DataSource(this, Tblexpert);
    DSQunit = new db::DataSource(this, Qryunit);
    DSTcgwcr = new db::DataSource(this, TblCgwcr);
    DS_temp_in = new db::DataSource(this, T_temp_in);

    // Table names as the window resources give them.
    const std::pair<db::Table *, const char *> files[] = {
        {Tblkjcg, "kjcg.DBF"}, {T_temp_out, "kjcg.DBF"}, {TblCgwcdw, "cgwcdw.DBF"}, {TblCgwcr, "cgwcr.DBF"},
        {Tbljdwyhmd, "jdwyhmd.DBF"}, {tblzlqk, "zlqk.DBF"}, {Tblunit, "unit.dbf"}, {Tblexpert, "unitexpert.dbf"},
        {TblwcrNew, "cgwcrNew.dbf"}, {TableWcrTemp, "cgwcr.DBF"}, {Tblzdxx, "zdxx.dbf"}, {tblzdxx1, "zdxx1.dbf"},
        {tblProvince, "province.dbf"}, {tblLsbw, "lsbw.dbf"}, {TblDFJHZDXX, "DFJHZDXX.DBF"}, {Tblgxjs, "gxjs.dbf"},
        {Tztflh2, "ztflh.dbf"}, {Txkfl2, "xkfl.dbf"}, {T_temp_in, "kjcgtemp.DBF"},
    };
    for (const auto &[table, file] : files)
        table->setTableName(QString::fromLatin1(file));
    const std::pair<db::Table *, const char *> views[] = {
        {TblCgwcr_181, "item_181"}, {TblCgwcr_183, "item_183"}, {TblCgwcr_184, "item_184"},
        {TblCgwcr_188, "item_188"}, {Tbljdwyhmd_191, "item_191"}, {Tbljdwyhmd_193, "item_193"},
        {Tbljdwyhmd_198, "item_198"}, {Tblzlqk_st, "patent_st"}, {Tblzlqk_ty, "patent_ty"},
        {Tblexpert_181, "item_181"}, {Tblexpert_124_1, "item_124_1"}, {Tblexpert_183, "item_183"},
        {Tblexpert_184, "item_184"},
    };
    for (const auto &[table, code] : views) {
        table->setTableName("zdxx.dbf");
        table->setFilter(QString("zddm='%1'").arg(code));
        table->setFiltered(true);
    }
    QryCgwcr->setCachedUpdates(true);
    QryCgwcr->setUpdateObject(personsUpdate());
    QryJdwyhmd->setCachedUpdates(true);
    QryJdwyhmd->setUpdateObject(committeeUpdate());
    QryCgwcdw->setCachedUpdates(true);
    QryCgwcdw->setUpdateObject(unitsUpdate());
    Query2->setFieldLabel("ITEM_4", QString::fromUtf8("成果管理编号"));
    Query2->setFieldLabel("ITEM_3", QString::fromUtf8("成果名称"));
    declareLookups();
}

void TDM::declareLookups()
{
    const QString xxdm = "XXDM", xxmc = "XXMC";
    TblCgwcr->addLookupField({"V_181", QString::fromUtf8("性别"), "ITEM_181", TblCgwcr_181, xxdm, xxmc});
    TblCgwcr->addLookupField({"V_183", QString::fromUtf8("技术职称"), "ITEM_183", TblCgwcr_183, xxdm, xxmc});
    TblCgwcr->addLookupField({"V_184", QString::fromUtf8("文化程度"), "ITEM_184", TblCgwcr_184, xxdm, xxmc});
    TblCgwcr->addLookupField({"V_188", QString::fromUtf8("是否留学归国"), "ITEM_188", TblCgwcr_188, xxdm, xxmc});
    // The committee's table and its list show the same names.
    for (db::Dataset *members : std::initializer_list<db::Dataset *>{Tbljdwyhmd, QryJdwyhmd}) {
        members->addLookupField({"V_193", QString::fromUtf8("性别"), "ITEM_193", Tbljdwyhmd_193, xxdm, xxmc});
        members->addLookupField({"V_198", QString::fromUtf8("技术职称"), "ITEM_198", Tbljdwyhmd_198, xxdm, xxmc});
        // Shows the code of the post whose name the row holds.
        members->addLookupField({"V_191", QString::fromUtf8("鉴定会职务"), "ITEM_191", Tbljdwyhmd_191, xxmc, xxdm});
    }
    tblzlqk->addLookupField({"V_st", QString::fromUtf8("专利状况"), "PATENT_ST", Tblzlqk_st, xxdm, xxmc});
    tblzlqk->addLookupField({"V_ty", QString::fromUtf8("专利类型"), "PATENT_TY", Tblzlqk_ty, xxdm, xxmc});
    Tblexpert->addLookupField({"V_181", QString::fromUtf8("性别"), "ITEM_181", TblCgwcr_181, xxdm, xxmc});
    Tblexpert->addLookupField({"V_124_1", QString::fromUtf8("研究领域"), "ITEM_124_1", Tblexpert_124_1, xxdm, xxmc});
}

void TDM::PackTable(db::Table *table, const QString &fileName)
{
    table->setTableName(fileName);
    table->close();
    table->setExclusive(true);
    table->open();
    try {
        PackOpenTable(table);
    } catch (const db::DbError &e) {
        m_unpacked.append({fileName, e.message(), db::disk::isDiskFull(e.systemError())});
    }
    table->close();
}

// The packs that failed, in one message: the start goes on with those tables as they are.
void TDM::reportUnpacked()
{
    if (m_unpacked.isEmpty())
        return;
    QStringList names;
    bool diskFull = false;
    for (const Unpacked &u : std::as_const(m_unpacked)) {
        names << u.fileName;
        diskFull = diskFull || u.diskFull;
    }
    const QString tables = names.join(QString::fromUtf8("、"));
    const QString text = diskFull ? QString::fromUtf8("磁盘已满，启动时未能整理表 %1。这些表保持原样，可以照常使用；"
                                                      "请腾出磁盘空间后重新启动程序。")
                                        .arg(tables)
                                  : QString::fromUtf8("启动时未能整理表 %1：%2\n这些表保持原样，可以照常使用。")
                                        .arg(tables, m_unpacked.first().why);
    m_unpacked.clear();
    ui::messageBox(text, QString::fromUtf8("提示"), ui::MB_OK | ui::MB_ICONWARNING);
}

bool TDM::PackOpenTable(db::Table *table)
{
    if (!table->active())
        return false;
    return table->pack();
}

void TDM::OpenSql(db::Query *query, const QString &statement)
{
    query->setDatabaseName(DataDir);
    query->close();
    query->clearSql();
    query->addSql(statement);
    query->open();
}

void TDM::DataModuleCreate(const QString &dataDir)
{
    DataDir = dataDir;

    Table_pack->setDatabaseName(DataDir);
    const char *packed[] = {"kjcg.DBF", "kjcgtemp.DBF", "cgwcr.DBF", "cgwcrtemp.DBF", "jdwyhmd.DBF",
                            "jdwyhmdtemp.DBF", "cgwcdw.DBF", "cgwcdwtemp.DBF", "zlqk.DBF", "zlqktemp.DBF",
                            "cgwcrNew.dbf", "ZTFLH.dbf", "XKFL.dbf", "LSBW.dbf", "DFJHZDXX.DBF", "unit.dbf",
                            "unitexpert.dbf", "gxjs.dbf"};
    for (const char *file : packed) {
        const QString name = QString::fromLatin1(file);
        // The two classifications are optional: a removed one is no error.
        const bool optional = name.startsWith("ZTFLH") || name.startsWith("XKFL");
        if (optional && db::DbfFile::findFile(DataDir, name).isEmpty())
            continue;
        PackTable(Table_pack, name);
    }
    reportUnpacked();

    for (db::Query *q : {Query1, Query2, Qrykjcg})
        OpenSql(q, "select * from kjcg");
    OpenSql(QryCgwcdw, "select * from cgwcdw");
    OpenSql(QryJdwyhmd, "select * from jdwyhmd");
    OpenSql(QryCgwcr, "select * from cgwcr");
    OpenSql(Qrydwqk, "select * from dwqk");
    OpenSql(tempquery, "select * from kjcg");
    OpenSql(QryCheckUp, "select * from CheckUp");
    OpenSql(Qryunit, "select * from unit");
    OpenSql(Qryexpert, "select * from unitexpert");

    T_temp_in->setDatabaseName(DataDir);
    T_temp_out->setDatabaseName(DataDir);
    T_temp_out->open();

    for (db::Table *v : {TblCgwcr_183, TblCgwcr_184, TblCgwcr_188, TblCgwcr_181, Tbljdwyhmd_193, Tbljdwyhmd_198,
                         Tbljdwyhmd_191, Tblzlqk_st, Tblzlqk_ty, Tblexpert_181, Tblexpert_124_1}) {
        v->setDatabaseName(DataDir);
        v->open();
    }

    HasZtflh = !db::DbfFile::findFile(DataDir, "ztflh.dbf").isEmpty();
    if (HasZtflh) {
        Tztflh2->setDatabaseName(DataDir);
        Tztflh2->open();
    }
    HasXkfl = !db::DbfFile::findFile(DataDir, "xkfl.dbf").isEmpty();
    if (HasXkfl) {
        Txkfl2->setDatabaseName(DataDir);
        Txkfl2->open();
    }

    for (db::Table *t : {Tblgxjs, TblDFJHZDXX, Tblzdxx, Tblkjcg, TblCgwcdw, Tbljdwyhmd}) {
        t->setDatabaseName(DataDir);
        t->open();
    }
    if (HasZtflh || HasXkfl)
        Table1->setDatabaseName(DataDir);
    for (db::Table *t : {TblCgwcr, Tblunit, Tblexpert}) {
        t->setDatabaseName(DataDir);
        t->open();
    }
    Table2->setDatabaseName(DataDir);
    for (db::Table *t : {tblzlqk, tblzdxx1, tblProvince, tblLsbw, TblwcrNew}) {
        t->setDatabaseName(DataDir);
        t->open();
    }
    TableWcrTemp->setDatabaseName(DataDir);
}
