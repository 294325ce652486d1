#include "Unitpage5.h"

#include "Finto5Unit.h"

TFpage5 *Fpage5 = nullptr;

TFpage5::TFpage5(QWidget *parent) : ListWindow("05", parent)
{
    setupUi(this);
    setGrid(DBGrid2, {{"item_176", QString::fromUtf8("序号"), 50},
                      {"item_170", QString::fromUtf8("单位名称"), 240, true},
                      {"item_171", QString::fromUtf8("详细通信地址"), 280, true},
                      {"item_172", QString::fromUtf8("邮政编码"), 80},
                      {"item_173", QString::fromUtf8("联系人"), 120}});
    wireButtons(Button2, btnSave01, Button1, Button3, quit01);
}

RowDialog *TFpage5::rowDialog() const
{
    return Finto5;
}

void btn_page05Click()
{
    Fpage5->openOnCurrentRecord();
}
