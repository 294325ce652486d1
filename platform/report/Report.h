#pragma once
// A report form: a layout whose named elements code may change (a label's
// caption, a page-number field's text, whether an element prints), bound to
// named datasets, producing its pages for the data as it stands.
#include "DataView.h"
#include "Layout.h"
#include "PageModel.h"

#include <QHash>
#include <QStringList>

namespace report {

class Report
{
public:
    explicit Report(Layout layout);

    QString name() const { return m_layout.name; }
    const Layout &layout() const { return m_layout; }

    // Named elements in layout order.
    QStringList elementNames() const;
    bool hasElement(const QString &name) const;
    // These throw when the layout has no element of that name.
    Element::Kind kind(const QString &name) const;
    // A label's caption, or the text a page-number field prints before the number.
    QString caption(const QString &name) const;
    void setCaption(const QString &name, const QString &text);
    bool isEnabled(const QString &name) const;
    // A disabled element prints nothing.
    void setEnabled(const QString &name, bool enabled);

    // The dataset a bound text names; the unnamed one serves texts that name
    // none outside the detail band. Views are not owned.
    void setData(const QString &datasetName, const DataView *view);

    // Produces every page for the current data; the result is kept as the last run.
    QVector<Page> run();
    const QVector<Page> &lastRun() const { return m_lastRun; }
    // The number of pages the report produces for the current data.
    int pageCount() { return int(run().size()); }

    // The view a dataset name stands for; throws when none is set.
    const DataView &data(const QString &datasetName) const;

private:
    Element &element(const QString &name);
    const Element &element(const QString &name) const;

    Layout m_layout;
    QHash<QString, std::pair<int, int>> m_index; // name → band, element
    QHash<QString, const DataView *> m_data;     // lower-case name → view
    QVector<Page> m_lastRun;
};

} // namespace report
