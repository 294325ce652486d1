#include "Finto7Unit.h"

#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "db/dataset/Query.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QStringList>

TFinto7 *Finto7 = nullptr;

namespace {

// The posts in rank order, as the post list offers them.
const QStringList &posts()
{
    static const QStringList list = {u("主任委员"), u("副主任委员"), u("委员")};
    return list;
}

const int kMemberPost = 2;
const int kFirstTitle = 1;

void requireChosen(const QComboBox *combo, const char *message)
{
    // The blank item of the title list is a choice: it stores no title.
    if (combo->currentText().isEmpty())
        Refuse(u(message));
}

// The rank by which the list orders a post: "1" chair, "2" vice-chair,
// "3" member; empty for any other text.
QString postRank(const QString &post)
{
    const int rank = posts().indexOf(post);
    return rank < 0 ? QString() : QString::number(rank + 1);
}

} // namespace

TFinto7::TFinto7(QWidget *parent) : RowDialog("07", parent)
{
    setupUi(this);
    // The post is stored as its text; the list's items are fixed.
    addBinding(codeBinding("ITEM_191", cbwy_191, 20, [](QComboBox *) {}));
    addBinding(textBinding("ITEM_192", Edtwy_192, "jdwyhmd"));
    addBinding(dictCodeBinding("ITEM_193", cbwy_193, 2, "item_181", 1));
    addBinding(textBinding("ITEM_195", edtwy_195, "jdwyhmd"));
    addBinding(textBinding("ITEM_196", edtwy_196, "jdwyhmd"));
    addBinding(textBinding("ITEM_197", edtwy_197, "jdwyhmd"));
    addBinding(dictCodeBinding("ITEM_198", cbwy_198, 2, "item_198", 0));
    setSequenceEdit(edt_190);
    wireButtons(Button1, Button2);
    // The user's choice only: loading a member sets the post without a check.
    ui::connectGuarded(cbwy_191, &QComboBox::activated, this, [this] { cbwy_191Change(); });
}

bool TFinto7::nothingEntered() const
{
    return allEmpty({Edtwy_192, edtwy_195, edtwy_196, edtwy_197}, true);
}

void TFinto7::emptyEntries()
{
    for (QLineEdit *edit : {edtwy_196, Edtwy_192, edtwy_197, edtwy_195})
        edit->clear();
    cbwy_191->setCurrentIndex(kMemberPost);
    FillComboFromDict(DM->Tblzdxx, "item_181", cbwy_193, 1);
    cbwy_193->setCurrentIndex(0);
    FillComboFromDict(DM->Tblzdxx, "item_198", cbwy_198, 0);
    cbwy_198->setCurrentIndex(kFirstTitle);
}

void TFinto7::checkRequired()
{
    RequireText(Edtwy_192->text(), u("\"姓名\"不能为空！"));
    requireChosen(cbwy_193, "\"性别\"不能为空！");
    requireChosen(cbwy_198, "\"职称\"不能为空！");
    requireChosen(cbwy_191, "\"评价委员会职务\"不能为空！");
}

void TFinto7::cbwy_191Change()
{
    const QString chair = posts().first();
    db::Query *list = rows();
    if (cbwy_191->currentText() != chair || !list->active())
        return;
    // The member being changed may stay the chair.
    const int self = isModifyMode() ? list->currentRow() : -1;
    const int post = list->fieldByName("item_191")->index();
    for (int row = 0; row < list->rowCount(); ++row) {
        if (row != self && gbk::trim(list->rowValue(row, post).toString()) == chair) {
            ShowMessage(u("只能有一个主任委员"));
            cbwy_191->setCurrentIndex(kMemberPost);
        }
    }
}

void TFinto7::rowStored(db::Dataset *)
{
    // Every member of the record gets the rank of the post, also members
    // stored before ranks were kept.
    const QStringList key = ChildRowsKey(listDef());
    db::Table *members = DM->Tbljdwyhmd;
    openFiltered(members, keyFilter(key[0], key[1]));
    for (members->first(); !members->eof(); members->next()) {
        const QString rank = postRank(trimmedField(members, "item_191"));
        if (rank.isEmpty() || trimmedField(members, "item_194") == rank)
            continue;
        members->edit();
        members->fieldByName("item_194")->setAsString(rank);
        members->post();
    }
}
