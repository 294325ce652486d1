#include "Unitpage7.h"

#include "Finto7Unit.h"
#include "text/Utf8.h"

#include <QHash>
#include <QStyledItemDelegate>

TFpage7 *Fpage7 = nullptr;

namespace {

// Shows a coded column's known codes by their names, indented by two
// blanks; any other value as it is stored.
class CodeNameDelegate : public QStyledItemDelegate
{
public:
    CodeNameDelegate(QHash<QString, QString> names, QObject *parent)
        : QStyledItemDelegate(parent), m_names(std::move(names))
    {
    }
    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        const auto name = m_names.constFind(value.toString());
        return name == m_names.constEnd() ? QStyledItemDelegate::displayText(value, locale) : "  " + *name;
    }

private:
    QHash<QString, QString> m_names;
};

// The coded columns of the grid below.
constexpr int kSexColumn = 5;
constexpr int kTitleColumn = 11;

} // namespace

TFpage7::TFpage7(QWidget *parent) : ListWindow("07", parent)
{
    setupUi(this);
    const QVector<ui::GridColumn> columns = {
        {"item_4", {}, 80},
        {"item_dqdm", {}, 40},
        {"item_190", u("序号"), 40},
        {"item_191", u("鉴定委员会职务"), 100},
        {"item_192", u("姓名"), 70},
        {"item_193", u("性别"), 40},
        {"V_193", {}, 40},
        {"item_194", u("出生年月"), 60},
        {"item_195", u("工作单位"), 196, true},
        {"item_196", u("所学专业"), 90, true},
        {"item_197", u("现从事专业"), 90, true},
        {"item_198", u("职称"), 50},
        {"V_198", {}, 70},
        {"V_191", {}, 74},
        {"item_199", u("职务"), 80},
    };
    setGrid(DBGrid3, columns);
    const QStringList hidden = {"item_4", "item_dqdm", "item_190", "V_193", "item_194", "V_198", "V_191", "item_199"};
    for (int i = 0; i < columns.size(); ++i)
        DBGrid3->setColumnHidden(i, hidden.contains(columns[i].fieldName));
    const QHash<QString, QString> sexes = {{"0", u("男")}, {"1", u("女")}};
    const QHash<QString, QString> titles = {{"1", u("院士")}, {"2", u("正高")}, {"3", u("副高")},
                                            {"4", u("中级")}, {"5", u("初级")}, {"9", u("其他")}};
    DBGrid3->setItemDelegateForColumn(kSexColumn, new CodeNameDelegate(sexes, DBGrid3));
    DBGrid3->setItemDelegateForColumn(kTitleColumn, new CodeNameDelegate(titles, DBGrid3));
    wireButtons(Button2, btnSave01, Button1, Button3, quit01);
}

RowDialog *TFpage7::rowDialog() const
{
    return Finto7;
}

void btn_page07Click()
{
    Fpage7->openOnCurrentRecord();
}
