#include "Unitpage8.h"

#include "CgwcrManage.h"
#include "Finto8Unit.h"
#include "PersonValues.h"
#include "UnitDM.h"
#include "db/journal/Journal.h"
#include "db/dataset/Query.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/GridCellDelegate.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"
#include "ui/SilentAbort.h"

TFpage8 *Fpage8 = nullptr;

namespace {

// A coded column shows the code's name, set off by two blanks; a code
// without a name shows as it is.
class CodeNameDelegate : public ui::GridCellDelegate
{
public:
    CodeNameDelegate(const QString &field, QObject *parent)
        : ui::GridCellDelegate(parent), m_names(PersonCodeNames(field))
    {
    }
    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        const QString name = m_names.value(gbk::trim(value.toString()));
        return name.isEmpty() ? ui::GridCellDelegate::displayText(value, locale) : QStringLiteral("  ") + name;
    }

private:
    const QHash<QString, QString> &m_names; // the column's, looked up once rather than per cell painted
};

} // namespace

TFpage8::TFpage8(QWidget *parent) : ListWindow("08", parent)
{
    setupUi(this);
    QVector<ui::GridColumn> columns = {
        {"ITEM_187", u("序号"), 40},          {"ITEM_180", u("姓名"), 70},      {"ITEM_181", u("性别"), 44},
        {"ITEM_182", u("出生年月"), 66},      {"ITEM_183", u("技术职称"), 84}, {"ITEM_184", u("文化程度"), 84},
        {"item_188", u("是否留学归国"), 90}, {"ITEM_185", u("工作单位"), 150, true},
        {"ITEM_186", u("对成果创造性贡献"), 150, true}};
    for (ui::GridColumn &column : columns)
        column.pickList = PersonPickList(column.fieldName);
    setGrid(DBGrid4, columns);
    for (int i = 0; i < columns.size(); ++i)
        if (!columns[i].pickList.isEmpty())
            DBGrid4->setItemDelegateForColumn(i, new CodeNameDelegate(columns[i].fieldName, DBGrid4));
    DBGrid4->setCellWriter([this](int row, int column, const QString &text) {
        bool stored = false;
        ui::guarded([&] {
            DBGrid4CellEdited(row, DBGrid4->datasetModel()->gridColumns().at(column).fieldName, text);
            stored = true;
        });
        return stored;
    });
    wireButtons(Button2, Button3, Button1, Button4, quit01);
    ui::connectGuarded(Button5, this, &TFpage8::Button5Click);
}

RowDialog *TFpage8::rowDialog() const
{
    return Finto8;
}

void TFpage8::Button5Click()
{
    ui::showModal(FormWcr);
}

void TFpage8::DBGrid4CellEdited(int row, const QString &field, const QString &typed)
{
    db::Query *persons = rows();
    if (row != persons->currentRow())
        persons->moveBy(row - persons->currentRow());
    const bool sequence = field.compare(listDef().sequenceField, Qt::CaseInsensitive) == 0;
    // The name and the birth month are stored trimmed, as the dialog stores
    // them: the month is checked trimmed, and exports take it as stored.
    const bool trimmed = field.compare(QLatin1String("ITEM_180"), Qt::CaseInsensitive) == 0
                         || field.compare(QLatin1String("ITEM_182"), Qt::CaseInsensitive) == 0;
    const QString value = trimmed ? gbk::trim(typed) : typed;
    CheckPersonValue(field, value);
    if (sequence)
        checkSequenceFree(row, value);
    const db::Dataset::Bookmark person = persons->bookmark();
    try {
        // The value with the numbers it changes, as one.
        db::Transaction transaction(DataDir);
        persons->edit();
        if (sequence)
            persons->fieldByName(field)->setAsInteger(gbk::trim(value).toInt());
        else
            persons->fieldByName(field)->setAsString(value);
        persons->post();
        // A new 序号 moves the person among the others.
        if (sequence) {
            RereadAndRenumber(listDef());
            persons->gotoBookmark(person);
        }
        transaction.commit();
    } catch (...) {
        // Taken back by now: the list shows the rows as they are stored.
        persons->cancel();
        try {
            RereadChildRows(listDef());
            persons->gotoBookmark(person);
        } catch (...) {
        }
        throw;
    }
}

void TFpage8::checkSequenceFree(int row, const QString &typed)
{
    db::Query *persons = rows();
    const int column = persons->fieldByName(listDef().sequenceField)->index();
    const QString number = QString::number(gbk::trim(typed).toInt());
    for (int r = 0; r < persons->rowCount(); ++r)
        if (r != row && persons->rowText(r, column) == number) {
            ShowMessage(u("序号有重复，请重新输入序号！"));
            ui::abortAction();
        }
}

void btn_page08Click()
{
    Fpage8->openOnCurrentRecord();
}
