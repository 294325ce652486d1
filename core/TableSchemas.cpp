#include "TableSchemas.h"

#include <QFileInfo>
#include <QStringList>

namespace {

// Column lists in a compact form: NAME:TYPE, where TYPE is C<width>, D, M,
// N (a floating column, kept to 15 significant digits: up to 15 integer
// digits, and as many of its 6 decimals as the 15 digits leave) or S (small integer).
QVector<db::ColumnDef> columns(const char *list)
{
    QVector<db::ColumnDef> out;
    const QStringList items = QString::fromLatin1(list).split(' ', Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const QStringList parts = item.split(':');
        const QString t = parts.value(1);
        db::ColumnDef c;
        c.name = parts[0];
        switch (t[0].toLatin1()) {
        case 'C':
            c.type = 'C';
            c.length = t.mid(1).toInt();
            break;
        case 'N':
            c.type = 'N';
            c.length = 20;
            c.decimals = 6;
            break;
        case 'S':
            c.type = 'N';
            c.length = 6;
            break;
        default:
            c.type = t[0].toLatin1();
            break;
        }
        out.append(c);
    }
    return out;
}

const char *kKjcg =
    "ITEM_1:C1 ITEM_110:C1 ITEM_12:C12 ITEM_12_1:C12 ITEM_120:C20 ITEM_121:D ITEM_123:C2 "
    "ITEM_124_1:C15 ITEM_125:C15 ITEM_125_1:C7 ITEM_126:C50 ITEM_13:M ITEM_13_1:M ITEM_13_2:M "
    "ITEM_13_3:M ITEM_14:C200 ITEM_16:C1 ITEM_2:C1 ITEM_200:C15 ITEM_210:C1 ITEM_3:C140 ITEM_33:C1 "
    "ITEM_4:C10 ITEM_420:C20 ITEM_8:C22 ITEM_127:C30 ITEM_201:C1 ITEM_37:C100 ITEM_38:C6 ITEM_39:C30 "
    "ITEM_40:C30 ITEM_41:C20 ITEM_41_1:C20 ITEM_41_2:C30 ITEM_41_3:C2 ITEM_60:C100 ITEM_61:C80 "
    "ITEM_62:C1 ITEM_63:C3 ITEM_64:C3 ITEM_9:C140 ITEM_32:C3 ITEM_32_1:C10 ITEM_34:C14 ITEM_45:N "
    "ITEM_46:C2 ITEM_47:C2 ITEM_300:C1 ITEM_301:C80 ITEM_302:C14 ITEM_303:M ITEM_304:C1 ITEM_305:C1 "
    "ITEM_306:C14 ITEM_160:C30 ITEM_161:C10 ITEM_163:C4 ITEM_151:N ITEM_152:N ITEM_153:N ITEM_150:N "
    "ITEM_140:C1 ITEM_142:N ITEM_143:N ITEM_141:N ITEM_162:N ITEM_130:C80 ITEM_133:M ITEM_21:C1 "
    "ITEM_22:C30 ITEM_131:C1 ITEM_51:C1 ITEM_52:C80 ITEM_53:C12 ITEM_56:C12 ITEM_SJDR:C1 ITEM_SJDC:C1 "
    "ITEM_DQDM:C3 ITEM_CGLB:C1 ITEM_144:N ITEM_145:N ITEM_149:N ITEM_154:N ITEM_128:C80 ITEM_15:C10 "
    "ITEM_15_1:C10 ITEM_142_1:N ITEM_142_2:N ITEM_142_3:N ITEM_XH:N ITEM_148:N ITEM_243:N ITEM_244:N "
    "ITEM_51_1:C1 ITEM_51_2:S ITEM_51_3:S ITEM_151_1:N ITEM_152_1:N ITEM_127_1:C140 NO:C10 "
    "ITEM_CHECK:C20 OUTCOMEB:C20";

const char *kCgwcdw = "ITEM_4:C10 ITEM_DQDM:C3 ITEM_176:N ITEM_170:C80 ITEM_171:C80 ITEM_172:C20 "
                      "ITEM_173:C20 ITEM_174:C20 ITEM_175:C20";
const char *kCgwcr = "ITEM_4:C10 ITEM_DQDM:C3 ITEM_187:N ITEM_180:C20 ITEM_181:C1 ITEM_182:C14 "
                     "ITEM_183:C1 ITEM_184:C1 ITEM_185:C80 ITEM_186:C160 ITEM_188:C1";
const char *kJdwyhmd = "ITEM_4:C10 ITEM_DQDM:C3 ITEM_190:N ITEM_191:C20 ITEM_192:C20 ITEM_193:C1 "
                       "ITEM_194:C14 ITEM_195:C80 ITEM_196:C30 ITEM_197:C30 ITEM_198:C1 ITEM_199:C16";
const char *kZlqk = "ITEM_4:C10 ITEM_DQDM:C3 ITEM_NO:N PATENT_NO:C15 PATENT_NAM:C140 PATENT_ST:C1 PATENT_TY:C1";
// A unit code list holds ten entries of a code (at most ten bytes), a blank and ";".
const char *kUnit = "UNITCODE:C10 UPUNITCODE:C10 UNITLEVEL:C1 ENDLEVEL:S CHIEFEXPER:C13 ITEM_9:C140 "
                    "ITEM_420:C20 ITEM_37:C100 ITEM_38:C6 ITEM_39:C30 ITEM_40:C30 ITEM_60:C100 ITEM_41:C20 "
                    "ITEM_41_2:C30 ITEM_61:C80 ITEM_62:C1 ITEM_41_3:C2 ITEM_163:C4 ITEM_64:C3 "
                    "ITEM_124_2:C120 ITEM_15_1:C120 ITEM_124_1:C120 ITEM_15:C120 STUDYDIREC:M ADVANTAGE:M "
                    "UNITINTROD:M";
const char *kUnitexpert = "UNITCODE:C10 ITEM_187:C6 ITEM_180:C20 ITEM_181:C2 ITEM_182:C7 ITEM_186:C160 ITEM_124_1:C2";
const char *kDwqk = "ITEM_9:C140 ITEM_420:C20 ITEM_37:C100 ITEM_38:C6 ITEM_39:C30 ITEM_40:C30 ITEM_60:C100 "
                    "ITEM_62:C1 ITEM_163:C4 ITEM_41_3:C2 ITEM_64:C3 ITEM_63:C3 ITEM_41:C20 ITEM_41_2:C30 ITEM_61:C80";
const char *kTree = "JB:C2 XXDM:C12 XXMC:C100";

QVector<TableSchema> build()
{
    return {
        {"kjcg.DBF", {}, columns(kKjcg)},
        {"kjcgtemp.DBF", {}, columns(kKjcg)},
        {"cgwcdw.DBF", {}, columns(kCgwcdw)},
        {"cgwcdwtemp.DBF", {}, columns(kCgwcdw)},
        {"cgwcr.DBF", {}, columns(kCgwcr)},
        {"cgwcrtemp.DBF", {}, columns(kCgwcr)},
        {"cgwcrNew.dbf", {}, columns(kCgwcr)},
        {"jdwyhmd.DBF", {}, columns(kJdwyhmd)},
        {"jdwyhmdtemp.DBF", {}, columns(kJdwyhmd)},
        {"zlqk.DBF", {}, columns(kZlqk)},
        {"zlqktemp.DBF", {}, columns(kZlqk)},
        {"unit.dbf", {}, columns(kUnit)},
        {"UNITtemp.dbf", {}, columns(kUnit)},
        {"unitexpert.dbf", {}, columns(kUnitexpert)},
        {"dwqk.dbf", {}, columns(kDwqk)},
        {"zdxx.dbf", "zdxx", columns("ZDDM:C10 XXDM:C3 XXMC:C60")},
        {"zdxx1.dbf", "zdxx1", columns("NAME:C30 ZDDM:C10")},
        {"checkup.dbf", "checkup", columns("LB:C1 ID:C10 BUTTON:C2")},
        {"gxjs.dbf", "gxjs", columns(kTree)},
        {"XKFL.dbf", "xkfl", columns(kTree)},
        {"ZTFLH.dbf", "ztflh", columns(kTree)},
        {"province.dbf", "province", columns("PROVINCE_I:C3 PROVINCE_N:C30")},
        {"LSBW.dbf", "lsbw", columns("BWDM:C3 BWMC:C60")},
        {"DFJHZDXX.DBF", "dfjhzdxx", columns("ITEM_126:C2 ITEM_41_:C2 XXMC:C80")},
    };
}

} // namespace

const QVector<TableSchema> &allTableSchemas()
{
    static const QVector<TableSchema> schemas = build();
    return schemas;
}

const TableSchema *tableSchema(const QString &name)
{
    const QString wanted = QFileInfo(name).completeBaseName();
    for (const TableSchema &s : allTableSchemas())
        if (QFileInfo(s.fileName).completeBaseName().compare(wanted, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

namespace {

const db::ColumnDef *columnDef(const QString &table, const QString &column)
{
    if (const TableSchema *s = tableSchema(table))
        for (const db::ColumnDef &c : s->columns)
            if (c.name.compare(column, Qt::CaseInsensitive) == 0)
                return &c;
    return nullptr;
}

} // namespace

int textColumnWidth(const QString &table, const QString &column)
{
    const db::ColumnDef *c = columnDef(table, column);
    return c && c->type == 'C' ? c->length : 0;
}

int numberColumnDigits(const QString &table, const QString &column)
{
    const db::ColumnDef *c = columnDef(table, column);
    return c && (c->type == 'N' || c->type == 'F') ? db::columnIntegerDigits(c->length) : 0;
}
