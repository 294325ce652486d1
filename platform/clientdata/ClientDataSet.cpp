#include "ClientDataSet.h"

#include "text/Gbk.h"

#include <stdexcept>

namespace clientdata {

ClientDataSet::ClientDataSet(const QStringList &fieldNames, int fieldSize)
    : m_names(fieldNames), m_size(fieldSize)
{
}

int ClientDataSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int ClientDataSet::requireField(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw std::runtime_error(QString::fromUtf8("内存数据集没有字段 %1").arg(name).toStdString());
    return i;
}

void ClientDataSet::emptyDataSet()
{
    m_rows.clear();
    m_pending.clear();
    m_appending = false;
}

void ClientDataSet::append()
{
    if (m_appending)
        post();
    m_pending = QStringList();
    for (int i = 0; i < m_names.size(); ++i)
        m_pending << QString();
    m_appending = true;
}

void ClientDataSet::setFieldText(const QString &name, const QString &text)
{
    setFieldText(requireField(name), text);
}

void ClientDataSet::setFieldText(int field, const QString &text)
{
    if (field < 0 || field >= m_names.size())
        throw std::runtime_error(QString::fromUtf8("内存数据集没有第 %1 个字段").arg(field + 1).toStdString());
    if (!m_appending)
        throw std::runtime_error(
            QString::fromUtf8("内存数据集不在新增状态，不能设置字段 %1").arg(m_names[field]).toStdString());
    m_pending[field] = gbk::cutToBytes(text, m_size);
}

QString ClientDataSet::fieldText(const QString &name) const
{
    const int i = requireField(name);
    return m_appending ? m_pending.value(i) : QString();
}

void ClientDataSet::post()
{
    if (!m_appending)
        return;
    m_rows.append(m_pending);
    m_pending.clear();
    m_appending = false;
}

void ClientDataSet::cancel()
{
    m_pending.clear();
    m_appending = false;
}

QString ClientDataSet::value(int row, const QString &name) const
{
    return value(row, fieldIndex(name));
}

QString ClientDataSet::value(int row, int field) const
{
    if (row < 0 || row >= m_rows.size() || field < 0 || field >= m_names.size())
        return {};
    return m_rows[row][field];
}

} // namespace clientdata
