#include "Unitpage2.h"

#include "PatentRows.h"
#include "SharedRoutines.h"
#include "UnitDM.h"
#include "Unitpage6.h"
#include "text/Gbk.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"

#include <QRadioButton>
#include <QSignalBlocker>

TFpage2 *Fpage2 = nullptr;

namespace {

const QString kPatent = QStringLiteral("1");
const QString kSoftware = QStringLiteral("3");

} // namespace

TFpage2::TFpage2(QWidget *parent) : SectionForm("02", parent)
{
    setupUi(this);
    // Minimise and maximise only: the form is left through 退出.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    wireButtons(btnSave01, Button3, quit01);
    // Closing the patent list gives the counts of what it holds.
    connect(Fpage6, &TFpage6::patentsCounted, this, [this](int applied, int granted) {
        edt_51_2->setText(QString::number(applied));
        edt_51_3->setText(QString::number(granted));
    });

    addBinding(dictCodeBinding("ITEM_32", CB_32, 3, "item_32", 1));
    addBinding(choiceBinding("ITEM_161", this, "pl_161", 1, u("推广形式")));
    addBinding(dictCodeBinding("ITEM_46", cb_46, 2, "item_46", 0));
    addBinding(dictCodeBinding("ITEM_47", cb_47, 2, "item_47", 0));
    addBinding(moneyBinding("ITEM_51_2", edt_51_2));
    addBinding(moneyBinding("ITEM_51_3", edt_51_3));
    addBinding(textBinding("ITEM_53", Edt_53));
    addBinding(textBinding("ITEM_52", Edt_52));
    // Whole numbers are typed; the amounts are checked on every change.
    const std::tuple<const char *, QLineEdit *, int> numbers[] = {
        {"ITEM_45", Edt_45, 16},      {"ITEM_150", Edt_150, 5},     {"ITEM_162", Edt_162, 5},
        {"ITEM_151_1", Edt_151_1, 7}, {"ITEM_152_1", Edt_152_1, 7}, {"ITEM_153", Edt_153, 7},
        {"ITEM_154", Edt_154, 7}};
    for (const auto &[field, edit, places] : numbers) {
        addBinding(moneyBinding(field, edit, places));
        if (edit == Edt_45)
            makeDigitEdit(edit);
        else
            makeMoneyEdit(edit, false);
        m_results << edit;
    }
    m_ipForm = dictCodeBinding("ITEM_51", cb_51, 1, "item_51", 0);
    m_reasons.push_back(choiceBinding("ITEM_32_1", this, "pl_32_1", 1, u("未应用或停用原因")));
    m_reasons.push_back(choiceBinding("ITEM_160", this, "Pl_160", 2, u("未应用或停用原因细类")));

    ui::connectGuarded(cb_51, &QComboBox::currentIndexChanged, this, [this] { cb_51Change(); });
    ui::connectGuarded(CB_32, &QComboBox::currentIndexChanged, this, [this] { cb_32Change(); });
    for (QAbstractButton *detail : Pl_160->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly))
        ui::connectGuarded(detail, this, [this, detail] { rb_160Click(detail); });
    ui::connectGuarded(Button1, this, &TFpage2::Button1Click);
}

// ---- loading -------------------------------------------------------------

void TFpage2::loadOther()
{
    db::Dataset *record = DM->Qrykjcg;
    {
        const QSignalBlocker quiet(cb_51); // loading asks nothing and deletes nothing
        m_ipForm->load(record);
    }
    for (auto &b : m_reasons)
        b->load(record);
    showIpForm(ipForm());
    // The counts of the patent list as it is, not those last saved: the list
    // stores at once, the counts only with the section. Another form counts
    // no patents, whatever an older save left.
    if (ipForm() == kPatent)
        showPatentCounts();
    else
        setPatentCounts({}, {});
    // Rows left under another form (a package, an older folder) would be
    // printed and exported with it: they go with the next save.
    m_patentsToGo = ipForm() != kPatent && patentRowCount() > 0;
}

int TFpage2::patentRowCount() const
{
    OpenPatentRowsOf(DM->Qrykjcg);
    return DM->tblzlqk->recordCount();
}

void TFpage2::showEvent(QShowEvent *e)
{
    cb_32Change();
    SectionForm::showEvent(e);
}

// ---- intellectual property ------------------------------------------------

QString TFpage2::ipForm() const
{
    return ComboCode(cb_51, 1);
}

void TFpage2::showIpForm(const QString &code)
{
    for (QWidget *w : QList<QWidget *>{Lb_51_2, Lb_51_3, edt_51_2, edt_51_3, Button1})
        w->setVisible(code == kPatent);
    for (QWidget *w : QList<QWidget *>{Lb_52, Lb_53, Edt_52, Edt_53})
        w->setVisible(code == kSoftware);
}

void TFpage2::setPatentCounts(const QString &applied, const QString &granted)
{
    edt_51_2->setText(applied);
    edt_51_3->setText(granted);
}

void TFpage2::showPatentCounts()
{
    OpenPatentRowsOf(DM->Qrykjcg);
    const PatentCounts counts = CountPatents();
    setPatentCounts(QString::number(counts.applied), QString::number(counts.granted));
}

void TFpage2::ApplyIpFormChoice()
{
    const QString code = ipForm();
    showIpForm(code);
    m_patentsToGo = code != kPatent;
    if (code == kPatent) {
        showPatentCounts();
        Edt_52->clear();
        Edt_53->clear();
        return;
    }
    setPatentCounts({}, {});
    if (code == kSoftware) {
        db::Dataset *record = DM->Qrykjcg;
        Edt_52->setText(record->fieldByName("ITEM_52")->asString());
        Edt_53->setText(record->fieldByName("ITEM_53")->asString());
    } else {
        Edt_52->clear();
        Edt_53->clear();
    }
}

void TFpage2::cb_51Change()
{
    if (ipForm() == kSoftware) {
        bool appliedOk = false, grantedOk = false;
        const int applied = edt_51_2->text().toInt(&appliedOk);
        const int granted = edt_51_3->text().toInt(&grantedOk);
        const int counted = appliedOk && grantedOk ? applied + granted : 0;
        if (counted > 0
            && ui::messageBox(u("更改为软件著作权后，记录选项将更改,是否更改？"), u("请注意！"),
                              ui::MB_YESNO | ui::MB_ICONQUESTION)
                   != ui::IDYES) {
            const QSignalBlocker quiet(cb_51);
            cb_51->setCurrentIndex(0);
            return;
        }
    }
    ApplyIpFormChoice();
}

void TFpage2::Button1Click()
{
    db::Dataset *record = DM->Qrykjcg;
    if (record->isEmpty())
        return;
    OpenPatentRowsOf(record);
    Fpage6->setWindowTitle(u("成果名称：") + record->fieldByName("ITEM_3")->asString());
    ui::showModal(Fpage6);
}

// ---- application ------------------------------------------------------------

bool TFpage2::stableApplication() const
{
    return ComboCode(CB_32, 1) == QLatin1String("1");
}

void TFpage2::cb_32Change()
{
    const QString state = CB_32->currentText();
    const bool stable = state.contains(u("稳定"));
    if (stable) {
        ClearChecks(pl_32_1);
        ClearChecks(Pl_160);
    }
    for (QAbstractButton *reason : pl_32_1->findChildren<QCheckBox *>(Qt::FindDirectChildrenOnly))
        reason->setEnabled(false);
    for (QAbstractButton *detail : Pl_160->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly))
        detail->setEnabled(!stable);

    const bool unused = state.contains(u("未应用"));
    for (QLineEdit *result : m_results) {
        if (unused)
            result->clear();
        result->setEnabled(!unused);
    }
}

void TFpage2::rb_160Click(QAbstractButton *sender)
{
    // rb_160_<row><item>: the row is the reason.
    const QString row = sender->objectName().mid(QStringLiteral("rb_160_").size(), 1);
    auto *reason = pl_32_1->findChild<QAbstractButton *>(QStringLiteral("cb_32_1_") + row);
    if (!reason)
        return;
    reason->setChecked(true);
    cb_32_1OnClick(reason);
}

void TFpage2::cb_32_1OnClick(QAbstractButton *sender)
{
    uncheckOtherBoxes(sender);
}

// ---- checking and saving --------------------------------------------------

void TFpage2::CheckPage2Input()
{
    if (gbk::trim(CB_32->currentText()).isEmpty())
        Refuse(u("\"应用状态\"不能为空！"));
    if (!CB_32->currentText().contains(u("稳定应用"))
        && CodesFromChecks(this, QStringLiteral("pl_32_1"), 1, u("未应用或停用原因")).isEmpty())
        Refuse(u("非\"稳定应用\"的项目，其\"未应用或停用原因\"必须说明！"));
    if (CodesFromChecks(this, QStringLiteral("pl_161"), 1, u("推广形式")).isEmpty())
        Refuse(u("\"推广形式\"必须选择！"));
    if (cb_51->currentIndex() == 0 && edt_51_2->text() == QLatin1String("0")
        && edt_51_3->text() == QLatin1String("0"))
        Refuse(u("请填写专利情况！"));
}

void TFpage2::saveOther(db::Dataset *record)
{
    m_ipForm->save(record);
    // Reasons belong to an application that is not stable.
    const bool stable = stableApplication();
    for (auto &b : m_reasons) {
        if (stable)
            record->fieldByName(b->field())->clear();
        else
            b->save(record);
    }
}

bool TFpage2::otherUnchanged(db::Dataset *record)
{
    // Patent rows waiting to go are a change the save has still to make.
    if (m_patentsToGo && ipForm() != kPatent && patentRowCount() > 0)
        return false;
    return m_ipForm->unchanged(record) && bindingsUnchanged(record, m_reasons);
}

QString TFpage2::saveNote()
{
    const int going = m_patentsToGo && ipForm() != kPatent ? patentRowCount() : 0;
    return going > 0 ? u("保存将删除本成果原有的%1项专利。").arg(going) : QString();
}

void TFpage2::keepOther(db::Transaction &transaction, db::Dataset *record)
{
    if (m_patentsToGo && ipForm() != kPatent)
        KeepPatentDeletionsOf(transaction, record);
}

void TFpage2::saved(db::Dataset *record)
{
    if (m_patentsToGo && ipForm() != kPatent)
        DeletePatentRowsOf(record);
    m_patentsToGo = false;
}

void btn_page02Click()
{
    Fpage2->openOnCurrentRecord();
}
