#include "ExchangeTextWriter.h"

#include "ExchangeText.h"
#include "db/dataset/Dataset.h"
#include "db/file/DbError.h"
#include "db/file/DbfFile.h"

#include <QFileInfo>

namespace {

constexpr qsizetype kFlushAt = 1 << 16;

const char *const kExpertColumns[] = {"unitcode", "item_187", "item_180", "item_181",
                                      "item_182", "item_186", "item_124_1"};

int numberDecimals(char type, int decimals)
{
    return type == 'N' || type == 'F' ? decimals : -1;
}

} // namespace

MemberLayout::MemberLayout(db::Dataset &dataset, TextMember member)
{
    // The data columns, without the lookup columns a dataset may add.
    QStringList names;
    for (int i = 0; i < dataset.fieldCount() && !dataset.field(i)->isLookup(); ++i)
        names << dataset.columns()[i].name;
    layOut(names, member, [&](int i) { return dataset.numberDecimals(i); },
           [&](const char *name) { return dataset.fieldByName(QLatin1String(name))->index(); });
}

MemberLayout::MemberLayout(const db::DbfFile &file, TextMember member)
{
    QStringList names;
    for (const db::FieldDef &f : file.fields())
        names << QString::fromLatin1(f.name);
    layOut(names, member, [&](int i) { return numberDecimals(file.fields()[i].type, file.fields()[i].decimals); },
           [&](const char *name) {
               const int i = file.fieldIndex(QLatin1String(name));
               if (i < 0)
                   throw db::DbError(QString::fromUtf8("表 %1 中没有字段 %2").arg(file.tableName(), QLatin1String(name)));
               return i;
           });
}

template <typename Decimals, typename ColumnOf>
void MemberLayout::layOut(const QStringList &names, TextMember member, Decimals decimals, ColumnOf columnOf)
{
    if (member == TextMember::Expert) {
        // Listed by name: a dataset adds lookup columns for display.
        for (const char *name : kExpertColumns) {
            const int i = columnOf(name);
            m_columns.append({i, Quoted, decimals(i)});
        }
        m_columns.last().rule = Plain;
        return;
    }
    for (int i = 0; i < names.size(); ++i)
        m_columns.append({i, Quoted, decimals(i)});
    if (m_columns.isEmpty())
        return;
    Column &last = m_columns.last();
    const auto named = [&](int column, const char *name) {
        return names[column].compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    switch (member) {
    case TextMember::Child:
        last.rule = named(last.index, "ITEM_188") ? Flag : Plain;
        break;
    case TextMember::Unit:
        last.rule = Enclosed;
        break;
    case TextMember::Kjcg:
        // Positions 100 (NO), 101 and 102 of the record.
        for (Column &c : m_columns) {
            if (c.index == 99)
                c.rule = Empty;
            else if (c.index > 99)
                c.rule = Plain;
            else if (named(c.index, "ITEM_SJDC"))
                c.rule = Zero;
        }
        break;
    case TextMember::Expert:
        break;
    }
}

QByteArray MemberLayout::line(db::Dataset &dataset) const
{
    const int row = dataset.currentRow();
    QByteArray text;
    const auto valueOf = [&](const Column &c) {
        text = dataset.rowValue(row, c.index).toBytes(c.decimals);
        return QByteArrayView(text);
    };
    // A row as stored is read as text from its record's bytes; a computed
    // column has no bytes of its own.
    if (const db::Dataset::StoredRow stored = dataset.storedRow(row); stored.file) {
        return lineOf([&](const Column &c) {
            const int field = dataset.columns()[c.index].sourceField;
            return field < 0 ? valueOf(c) : stored.file->valueText(stored.bytes, stored.rec, field, c.decimals, text);
        });
    }
    return lineOf(valueOf);
}

QByteArray MemberLayout::line(const db::DbfFile &file, const char *record, int rec) const
{
    QByteArray scratch;
    return lineOf([&](const Column &c) { return file.valueText(record, rec, c.index, c.decimals, scratch); });
}

template <typename TextOf>
QByteArray MemberLayout::lineOf(TextOf textOf) const
{
    QByteArray out;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (i > 0)
            out.append('\t');
        const Column &c = m_columns[i];
        // Texts as stored, numbers in plain decimals with up to 15
        // significant digits and "." as separator, dates as yyyy-MM-dd, null
        // as nothing.
        const QByteArrayView value = c.rule == Empty || c.rule == Zero ? QByteArrayView() : textOf(c);
        switch (c.rule) {
        case Quoted:
            AppendQuoted(out, value);
            break;
        case Plain:
            // An unquoted value cannot carry a field or line break: it would
            // split the record for every reader, so they travel as spaces.
            for (char ch : value)
                out.append(ch == '\t' || ch == '\r' || ch == '\n' ? ' ' : ch);
            break;
        case Empty:
            break;
        case Zero:
            out.append('0');
            break;
        case Flag:
            out.append(value == "1" ? '1' : '0');
            break;
        case Enclosed:
            out.append('"').append(value).append('"');
            break;
        }
    }
    return out;
}

ExchangeTextFile::ExchangeTextFile(const QString &path) : m_file(path)
{
    if (!m_file.open(QIODevice::WriteOnly))
        fail();
}

void ExchangeTextFile::fail()
{
    const QString error = m_file.errorString();
    m_file.cancelWriting();
    throw ExchangeError(QString::fromUtf8("无法写入文件 %1：%2").arg(QFileInfo(m_file.fileName()).fileName(), error));
}

void ExchangeTextFile::writeLine(const QByteArray &line)
{
    m_buffer.append(line).append("\r\n");
    if (m_buffer.size() >= kFlushAt) {
        if (m_file.write(m_buffer) != m_buffer.size())
            fail();
        m_buffer.clear();
    }
}

void ExchangeTextFile::commit()
{
    if (m_file.write(m_buffer) != m_buffer.size())
        fail();
    m_buffer.clear();
    if (!m_file.commit())
        fail();
}

void ExportTableText(db::Dataset &dataset, const QString &fileName, TextMember member)
{
    ExchangeTextFile file(fileName);
    const MemberLayout layout(dataset, member);
    for (dataset.first(); !dataset.eof(); dataset.next())
        file.writeLine(layout.line(dataset));
    file.commit();
}
