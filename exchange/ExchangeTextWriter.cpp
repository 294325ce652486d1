#include "ExchangeTextWriter.h"

#include "ExchangeText.h"
#include "db/dataset/Dataset.h"

#include <QFileInfo>

namespace {

constexpr qsizetype kFlushAt = 1 << 16;

const char *const kExpertColumns[] = {"unitcode", "item_187", "item_180", "item_181",
                                      "item_182", "item_186", "item_124_1"};

bool named(const db::Dataset &dataset, int column, const char *name)
{
    return dataset.columns()[column].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

} // namespace

MemberLayout::MemberLayout(db::Dataset &dataset, TextMember member)
{
    if (member == TextMember::Expert) {
        // Listed by name: the dataset adds lookup columns for display.
        for (const char *name : kExpertColumns)
            m_columns.append({dataset.fieldByName(QLatin1String(name))->index(), Quoted});
        m_columns.last().rule = Plain;
        return;
    }
    // The data columns, without the lookup columns a dataset may add.
    for (int i = 0; i < dataset.fieldCount() && !dataset.field(i)->isLookup(); ++i)
        m_columns.append({i, Quoted});
    if (m_columns.isEmpty())
        return;
    Column &last = m_columns.last();
    switch (member) {
    case TextMember::Child:
        last.rule = named(dataset, last.index, "ITEM_188") ? Flag : Plain;
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
            else if (named(dataset, c.index, "ITEM_SJDC"))
                c.rule = Zero;
        }
        break;
    case TextMember::Expert:
        break;
    }
}

QByteArray MemberLayout::line(db::Dataset &dataset) const
{
    QByteArray out;
    const int row = dataset.currentRow();
    for (int i = 0; i < m_columns.size(); ++i) {
        if (i > 0)
            out.append('\t');
        const Column &c = m_columns[i];
        // Texts as stored, numbers in plain decimals with up to 15
        // significant digits and "." as separator, dates as yyyy-MM-dd, null
        // as nothing.
        const QByteArray value = c.rule == Empty || c.rule == Zero
                                     ? QByteArray()
                                     : dataset.rowValue(row, c.index).toBytes(dataset.numberDecimals(c.index));
        switch (c.rule) {
        case Quoted:
            out.append(QuoteField(value));
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
