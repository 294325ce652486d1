#include "Report.h"

#include "ReportRun.h"

#include <stdexcept>

namespace report {

namespace {

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

} // namespace

Report::Report(Layout layout) : m_layout(std::move(layout))
{
    for (int b = 0; b < m_layout.bands.size(); ++b)
        for (int e = 0; e < m_layout.bands[b].elements.size(); ++e)
            if (const QString &n = m_layout.bands[b].elements[e].name; !n.isEmpty())
                m_index.insert(n, {b, e});
}

QStringList Report::elementNames() const
{
    QStringList out;
    for (const Band &b : m_layout.bands)
        for (const Element &e : b.elements)
            if (!e.name.isEmpty())
                out << e.name;
    return out;
}

bool Report::hasElement(const QString &name) const
{
    return m_index.contains(name);
}

const Element &Report::element(const QString &name) const
{
    const auto it = m_index.constFind(name);
    if (it == m_index.constEnd())
        fail(QStringLiteral("报表 %1 没有元素 %2").arg(m_layout.name, name));
    return m_layout.bands[it->first].elements[it->second];
}

Element &Report::element(const QString &name)
{
    return const_cast<Element &>(std::as_const(*this).element(name));
}

Element::Kind Report::kind(const QString &name) const
{
    return element(name).kind;
}

QString Report::caption(const QString &name) const
{
    return element(name).caption;
}

void Report::setCaption(const QString &name, const QString &text)
{
    element(name).caption = text;
}

bool Report::isEnabled(const QString &name) const
{
    return element(name).enabled;
}

void Report::setEnabled(const QString &name, bool enabled)
{
    element(name).enabled = enabled;
}

void Report::setData(const QString &datasetName, const DataView *view)
{
    m_data.insert(datasetName.toLower(), view);
}

const DataView &Report::data(const QString &datasetName) const
{
    const DataView *view = m_data.value(datasetName.toLower());
    if (!view)
        fail(QStringLiteral("报表 %1 没有数据集 %2").arg(m_layout.name, datasetName));
    return *view;
}

QVector<Page> Report::run()
{
    m_lastRun = ReportRun(m_layout, [this](const QString &name) -> const DataView & { return data(name); }).pages();
    return m_lastRun;
}

} // namespace report
