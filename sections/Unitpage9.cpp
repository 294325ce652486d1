#include "Unitpage9.h"

#include "EntryControls.h"
#include "ui/HandlerGuard.h"

#include <QEvent>

TFpage9 *Fpage9 = nullptr;

TFpage9::TFpage9(QWidget *parent) : SectionForm("09", parent)
{
    setupUi(this);
    wireButtons(btnSave01, Button1, Button2);
    addBinding(textBinding("ITEM_301", Edt_301));
    addBinding(dotDateBinding("ITEM_302", DTP_302, CheckBox_302, EDT_302, [](const QString &stored) {
        return QString::fromUtf8("本项登记日期：'") + stored + QString::fromUtf8("'不是正确的时间格式！现在已经更换。");
    }));
    for (const auto &[field, memo] : {std::pair{"ITEM_13_2", Mo_13_2}, std::pair{"ITEM_13_3", Mo_13_3},
                                      std::pair{"ITEM_133", Mo_133}, std::pair{"ITEM_303", Mo_303}}) {
        addBinding(memoBinding(field, memo));
        emptyBlankMemoOnClick(memo);
    }
    ui::connectGuarded(CheckBox_302, this, &TFpage9::CheckBox_302Click);
    EDT_302->installEventFilter(this);
}

void TFpage9::CheckBox_302Click()
{
    showDateState(DTP_302, CheckBox_302, EDT_302);
}

void TFpage9::EDT_302Click()
{
    restoreDatePicker(DTP_302, CheckBox_302, EDT_302);
}

bool TFpage9::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == EDT_302 && e->type() == QEvent::MouseButtonPress)
        ui::guarded([this] { EDT_302Click(); });
    return SectionForm::eventFilter(watched, e);
}

void TFpage9::saveFailed()
{
    Button1->setEnabled(true);
    Button2->setEnabled(true);
}

void btn_page09Click()
{
    Fpage9->openOnCurrentRecord();
}
