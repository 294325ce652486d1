#include "Unitpage3.h"

#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/dataset/Table.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/Utf8.h"
#include "ui/HandlerGuard.h"

#include <QEvent>

TFpage3 *Fpage3 = nullptr;

namespace {

const QString kMaroon = QStringLiteral("color: #800000;");
const char *const kLocalPart = "读取数据时，发现“地方投入”:";

bool appliedRecord(db::Dataset *record)
{
    return gbk::trim(record->fieldByName("ITEM_CGLB")->asString()) == QLatin1String("1");
}

std::unique_ptr<FieldBinding> evaluationBinding(QComboBox *combo, const char *fieldCode)
{
    return codeBinding("ITEM_21", combo, 3, [fieldCode](QComboBox *c) {
        FillComboFromDict(DM->Tblzdxx, QString::fromLatin1(fieldCode), c, 1);
    });
}

} // namespace

TFpage3::TFpage3(QWidget *parent) : SectionForm("03", parent)
{
    setupUi(this);
    // Minimise and maximise only: the form is left through 退出.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    wireButtons(btnSave01, Button3, quit01);

    addBinding(textBinding("ITEM_127", Edt_127));
    addBinding(textBinding("ITEM_127_1", Edt_127_1));
    addBinding(textBinding("ITEM_130", Edt_130));
    addBinding(textBinding("ITEM_22", edt_22));
    addBinding(choiceBinding("ITEM_126", this, "Pl_126", 2, u("课题来源")));
    addBinding(choiceBinding("ITEM_140", this, "Pl_140", 1, u("课题来源")));
    // In this order the sums are recomputed on the way and the stored
    // 地方投入 and total, loaded last, are what the form shows.
    const std::pair<const char *, QLineEdit *> amounts[] = {
        {"ITEM_142_1", Edt_142_1}, {"ITEM_142_2", Edt_142_2}, {"ITEM_142_3", Edt_142_3}, {"ITEM_142", Edt_142},
        {"ITEM_141", Edt_141},     {"ITEM_148", Edt_148},     {"ITEM_143", Edt_143},     {"ITEM_144", Edt_144},
        {"ITEM_243", Edt_243},     {"ITEM_244", Edt_244},     {"ITEM_145", Edt_145},     {"ITEM_149", Edt_149}};
    for (const auto &[field, edit] : amounts) {
        // Seven places as the block's hint says.
        addBinding(moneyBinding(field, edit, 7));
        makeDigitEdit(edit, true);
    }
    addBinding(dotDateBinding("ITEM_34", DTP_34, CheckBox_34, edt_34, [](const QString &stored) {
        return u("本项评价日期：'") + stored + u("'") + u(" 不是正确的时间格式！现在已经更换。");
    }));
    makeDigitEdit(edt_34, true);
    m_evaluationApplied = evaluationBinding(cb_21, "item_21");
    m_evaluationOther = evaluationBinding(cb_21_l, "item_21_l");

    m_localParts = {{Edt_142_1, u(kLocalPart)}, {Edt_142_2, u(kLocalPart)}, {Edt_142_3, u(kLocalPart)}};
    m_totalItems = {{Edt_142, u("“地方投入”\":")}, {Edt_141, u("“国家投入”:")}, {Edt_148, u("“部门投入”:")},
                    {Edt_143, u("“基金投入”:")},   {Edt_144, u("“自有基金”:")}, {Edt_243, u("“银行贷款”:")},
                    {Edt_244, u("“国外资金”:")},   {Edt_145, u("“其他”:")}};
    for (const AmountTerm &t : m_localParts)
        ui::connectGuarded(t.edit, &QLineEdit::textChanged, this, [this] { Edt_142_1Change(); });
    for (const AmountTerm &t : m_totalItems)
        ui::connectGuarded(t.edit, &QLineEdit::textChanged, this, [this] { Edt_141Change(); });

    for (QAbstractButton *box : Pl_126->findChildren<QCheckBox *>(Qt::FindDirectChildrenOnly))
        if (box != cb_126_01)
            ui::connectGuarded(box, this, [this, box] { cb_126OnClick(box); });
    for (QAbstractButton *plan : {RB_140_1, RB_140_2, RB_140_3, RB_140_4, RB_140_5})
        ui::connectGuarded(plan, this, &TFpage3::RB_140_1Click);
    ui::connectGuarded(RB_140_6, this, &TFpage3::RB_140_6Click);
    ui::connectGuarded(SpeedButton11, this, &TFpage3::SpeedButton11Click);
    ui::connectGuarded(CheckBox_34, this, &TFpage3::CheckBox_34Click);
    edt_34->installEventFilter(this);
}

// ---- loading -------------------------------------------------------------

void TFpage3::loadOther()
{
    db::Dataset *record = DM->Qrykjcg;
    loadSubClass(record);
    const bool applied = MainForm->ComboBox1->currentIndex() == 0;
    cb_21->setVisible(applied);
    cb_21_l->setVisible(!applied);
    evaluationForm(applied)->load(record);
}

// The sub-class list is that of the last source stored. A record without a
// sub-class gets an empty list, so that a save cannot store the one another
// record left chosen.
void TFpage3::loadSubClass(db::Dataset *record)
{
    const QString subClass = gbk::trim(record->fieldByName("ITEM_41_1")->asString());
    if (subClass.isEmpty()) {
        CB_41->clear();
        CB_41->hide();
        Lb_41->hide();
        return;
    }
    const QString sources = gbk::trim(record->fieldByName("ITEM_126")->asString());
    const qsizetype end = sources.lastIndexOf(QLatin1Char(';'));
    const QString code = (end < 0 ? sources : sources.left(end)).right(2);
    GetItem41List(code, 0);
    SelectComboByCode(subClass, CB_41);
    Lb_41->setText(u("“") + sourceCaption(code) + u("”的下属分类"));
    CB_41->show();
    Lb_41->show();
}

void TFpage3::GetItem41List(const QString &code, int noBlank)
{
    db::Table *table = DM->TblDFJHZDXX;
    table->setFiltered(false);
    table->setFilter(QStringLiteral("item_126 =") + SqlLiteral(code));
    table->setFiltered(true);
    table->open();
    CB_41->clear();
    for (table->first(); !table->eof(); table->next()) {
        const QString subCode = table->fieldByName("item_41_")->asString();
        const QString name = table->fieldByName("xxmc")->asString();
        if (!gbk::trim(subCode).isEmpty() && !gbk::trim(name).isEmpty())
            CB_41->addItem(subCode + QStringLiteral("  ") + name);
    }
    if (noBlank == 0)
        CB_41->addItem(QStringLiteral(" "));
    CB_41->setCurrentIndex(-1);
    const bool listed = !table->isEmpty();
    CB_41->setVisible(listed);
    Lb_41->setVisible(listed);
}

QString TFpage3::sourceCaption(const QString &code) const
{
    if (code == QLatin1String("01"))
        return Label3->text(); // the national plan's box has no caption of its own
    const auto *box = Pl_126->findChild<QAbstractButton *>(QStringLiteral("cb_126_") + code);
    return box ? box->text() : code;
}

void TFpage3::showEvent(QShowEvent *e)
{
    cb_126_01Click(); // the national-plan state, rebuilt from the loaded sources
    SectionForm::showEvent(e);
}

// ---- saving --------------------------------------------------------------

FieldBinding *TFpage3::evaluationForm(bool applied) const
{
    return applied ? m_evaluationApplied.get() : m_evaluationOther.get();
}

QString TFpage3::subClassCode() const
{
    return ComboCode(CB_41, 2);
}

void TFpage3::saveOther(db::Dataset *record)
{
    record->fieldByName("ITEM_41_1")->setAsString(subClassCode());
    evaluationForm(appliedRecord(record))->save(record);
}

bool TFpage3::otherUnchanged(db::Dataset *record)
{
    return evaluationForm(appliedRecord(record))->unchanged(record)
           && gbk::trim(record->fieldByName("ITEM_41_1")->asString()) == subClassCode();
}

bool TFpage3::nationalPlanMarked() const
{
    return Label1->styleSheet() == kMaroon;
}

void TFpage3::CheckPage3Input()
{
    const bool applied = appliedRecord(DM->Qrykjcg);
    if (applied && gbk::trim(cb_21->currentText()).isEmpty())
        Refuse(u("“评价形式”不能为空！"));
    if (!applied && gbk::trim(cb_21_l->currentText()).isEmpty())
        Refuse(u("“评价形式”不能为空！"));
    if (CodesFromChecks(this, QStringLiteral("Pl_126"), 2, u("课题来源")).isEmpty())
        Refuse(u("“课题来源”不能为空！"));
    if (nationalPlanMarked() && gbk::trim(Edt_127->text()).isEmpty())
        Refuse(u("“课题来源”为“国家计划”的项目，“课题立项编号”不能为空！"));
    if (nationalPlanMarked() && gbk::trim(Edt_127_1->text()).isEmpty())
        Refuse(u("“课题来源”为“国家计划”的项目，“课题立项名称”不能为空！"));
    if (gbk::byteLength(Edt_142->text()) >= 8 || gbk::byteLength(Edt_149->text()) >= 8)
        Refuse(u("经费最大长度不超得过7位！"));
}

// ---- field handlers ------------------------------------------------------

void TFpage3::cb_126OnClick(QAbstractButton *sender)
{
    if (!sender->isChecked())
        return;
    // The national plan and at most one other source.
    uncheckOtherBoxes(sender, {cb_126_01});
    CB_41->clear();
    CB_41->show();
    Lb_41->show();
    Lb_41->setText(u("“") + sender->text() + u("”的下属分类"));
    GetItem41List(sender->objectName().right(2), 0);
}

void TFpage3::cb_126_01Click()
{
    // The label's colour is the national-plan state the checks read.
    Label1->setStyleSheet(cb_126_01->isChecked() ? kMaroon : QString());
}

void TFpage3::RB_140_1Click()
{
    cb_126_01->setChecked(true);
    cb_126_01Click();
}

void TFpage3::SpeedButton11Click()
{
    ClearChecks(Pl_140);
    cb_126_01->setChecked(false);
    cb_126_01Click();
}

void TFpage3::Edt_142_1Change()
{
    gbk::setTextWhole(Edt_142, amountText(checkedSum(m_localParts)));
}

void TFpage3::Edt_141Change()
{
    gbk::setTextWhole(Edt_149, amountText(checkedSum(m_totalItems)));
}

void TFpage3::CheckBox_34Click()
{
    showDateState(DTP_34, CheckBox_34, edt_34);
}

void TFpage3::edt_34Click()
{
    restoreDatePicker(DTP_34, CheckBox_34, edt_34);
}

bool TFpage3::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == edt_34 && e->type() == QEvent::MouseButtonPress)
        ui::guarded([this] { edt_34Click(); });
    return SectionForm::eventFilter(watched, e);
}

void btn_page03Click()
{
    Fpage3->openOnCurrentRecord();
}
