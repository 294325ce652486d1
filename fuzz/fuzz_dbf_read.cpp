// Opens a table (with its memo and code-page files) and reads every field of
// every row, through the file and through a table dataset.
#include "FuzzTables.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"
#include "db/dataset/Table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString dir = writeFuzzTable(splitFuzzInput(data, size));
    try {
        auto file = db::DbfFile::open(dir, "fuzz");
        for (int r = 0; r < file->recordCount(); ++r)
            for (int c = 0; c < file->fieldCount(); ++c) {
                try {
                    (void)file->value(r, c);
                    (void)file->isNullField(file->record(r), c);
                    (void)file->storedText(file->record(r), c);
                } catch (const db::DbError &) {
                }
            }
        file.reset();
        db::Table t;
        t.setDatabaseName(dir);
        t.setTableName("fuzz");
        t.open();
        for (t.first(); !t.eof(); t.next())
            for (int c = 0; c < t.fieldCount(); ++c) {
                try {
                    (void)t.field(c)->asString();
                } catch (const db::DbError &) {
                }
            }
    } catch (const db::DbError &) {
    }
    return 0;
}
