#include "Unitpage8.h"

#include "CgwcrManage.h"
#include "Finto8Unit.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"

#include <QHash>
#include <QStyledItemDelegate>

TFpage8 *Fpage8 = nullptr;

namespace {

const QHash<QString, QHash<QString, QString>> &codeNames()
{
    static const QHash<QString, QHash<QString, QString>> names = {
        {"item_181", {{"0", u("男")}, {"1", u("女")}}},
        {"item_183",
         {{"1", u("院士")}, {"2", u("正高")}, {"3", u("副高")}, {"4", u("中级")}, {"5", u("初级")}, {"9", u("其他")},
          {"a", u("两院院士")}, {"b", u("中科院院士")}, {"c", u("工程院院士")}}},
        {"item_184",
         {{"2", u("博士研究生")}, {"3", u("硕士研究生")}, {"4", u("大本")}, {"5", u("大专")}, {"6", u("中专")},
          {"9", u("其他")}}},
        // "2" is the no an older grid stored.
        {"item_188", {{"1", u("是")}, {"0", u("否")}, {"2", u("否")}}},
    };
    return names;
}

// A coded column shows the code's name, set off by two blanks; a code
// without a name shows as it is.
class CodeNameDelegate : public QStyledItemDelegate
{
public:
    CodeNameDelegate(QString field, QObject *parent) : QStyledItemDelegate(parent), m_field(std::move(field)) {}
    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        const QString name = PersonCodeName(m_field, value.toString());
        return name.isEmpty() ? QStyledItemDelegate::displayText(value, locale) : QStringLiteral("  ") + name;
    }

private:
    QString m_field;
};

} // namespace

QString PersonCodeName(const QString &field, const QString &code)
{
    return codeNames().value(field.toLower()).value(gbk::trim(code));
}

TFpage8::TFpage8(QWidget *parent) : ListWindow("08", parent)
{
    setupUi(this);
    const QVector<ui::GridColumn> columns = {
        {"ITEM_187", u("序号"), 40},          {"ITEM_180", u("姓名"), 70},      {"ITEM_181", u("性别"), 44},
        {"ITEM_182", u("出生年月"), 66},      {"ITEM_183", u("技术职称"), 84}, {"ITEM_184", u("文化程度"), 84},
        {"item_188", u("是否留学归国"), 90}, {"ITEM_185", u("工作单位"), 150, true},
        {"ITEM_186", u("对成果创造性贡献"), 150, true}};
    setGrid(DBGrid4, columns);
    for (int i = 0; i < columns.size(); ++i)
        if (codeNames().contains(columns[i].fieldName.toLower()))
            DBGrid4->setItemDelegateForColumn(i, new CodeNameDelegate(columns[i].fieldName, DBGrid4));
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

void btn_page08Click()
{
    Fpage8->openOnCurrentRecord();
}
