// Changes a table: inserts a row with a value for every column (a memo
// among them), edits the first row, deletes it and packs.
#include "FuzzTables.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"

#include <QDate>

namespace {

db::Value sample(const db::FieldDef &f, int round)
{
    switch (f.type) {
    case 'N':
    case 'F':
        return db::Value::fromNumber(round * 7 - 3);
    case 'D':
        return db::Value::fromDate(QDate(2005, 6, 1 + round));
    case 'L':
        return db::Value::fromBool(round % 2);
    case 'M':
        return db::Value::fromString(QString::fromUtf8("备注第%1版").repeated(1 + 40 * round));
    default:
        return db::Value::fromString(QString::fromUtf8("成果%1").arg(round));
    }
}

void fill(db::DbfFile &f, QByteArray &raw, int round)
{
    for (int c = 0; c < f.fieldCount(); ++c) {
        try {
            f.encode(raw, c, sample(f.fields()[c], round));
        } catch (const db::DbError &) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = writeFuzzTable(splitFuzzInput(data, size));
    try {
        auto f = db::DbfFile::open(dir, "fuzz", true);
        QByteArray raw = f->blankRecord();
        fill(*f, raw, 1);
        const int added = f->appendRecord(raw);
        (void)f->value(added, 0);
        if (f->recordCount() > 0) {
            QByteArray first(f->record(0), f->recordLength());
            fill(*f, first, 2);
            f->writeRecord(0, first);
            for (int c = 0; c < f->fieldCount(); ++c)
                try {
                    (void)f->value(0, c);
                } catch (const db::DbError &) {
                }
            f->setDeleted(0, true);
        }
        f->pack();
    } catch (const db::DbError &) {
    }
    return 0;
}
