// The query builder of the main window: a field, an operator and a value
// make a comparison; comparisons and connectors make the condition text that
// narrows the record list of the chosen category and year.
#include "QueryBuilder.h"
#include "RecordRoutines.h"
#include "SharedRoutines.h"
#include "TreeRequests.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/SilentAbort.h"

namespace {

// A dBASE character field holds at most 254 bytes.
constexpr int kMaxValueBytes = 254;

const QString kMinistryField = QStringLiteral("隶属部委");
const QString kProvinceField = QStringLiteral("单位所在省市");
const QString kLibraryClassField = QStringLiteral("图分类号");
const QString kDisciplineClassField = QStringLiteral("科分类号");
const QString kClassNumberField = QStringLiteral("分类号");

// The chosen field's row of the query field table; its column is the
// second. Nothing chosen is no field to query.
QString chosenColumn(TMainForm *form)
{
    if (!LocateQueryField(DM->tblzdxx1, form->ComboBox2->currentIndex()))
        ui::abortAction();
    return gbk::trim(DM->tblzdxx1->field(1)->asString());
}

// Typed value in Edit2 (with one of the classification pickers beside it),
// or a value chosen from Combobox3.
void setValueMode(TMainForm *form, bool typed, QWidget *picker = nullptr)
{
    form->Edit2->setVisible(typed);
    form->Edit2->setReadOnly(!typed);
    form->Combobox3->setVisible(!typed);
    form->ComboBox5->setVisible(picker == form->ComboBox5);
    form->ComboBox6->setVisible(picker == form->ComboBox6);
}

bool typedMode(const TMainForm *form)
{
    return !form->Edit2->isHidden();
}

// Inserted at the caret, or at the start of a selection, which stays.
void insertAtCaret(QPlainTextEdit *memo, const QString &text)
{
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(cursor.selectionStart());
    cursor.insertText(text);
    memo->moveCursor(QTextCursor::End);
}

void appendText(QPlainTextEdit *memo, const QString &text)
{
    memo->moveCursor(QTextCursor::End);
    memo->insertPlainText(text);
    memo->moveCursor(QTextCursor::End);
}

// Lists the records of the category and year that meet the condition,
// numbered; like the first showing, the marks wait for a row click. False,
// after telling the user why, when there are none or the engine refuses it.
bool showQuery(TMainForm *form, const QString &condition)
{
    db::Query *list = DM->Qrykjcg;
    const QString attention = QStringLiteral("请注意！");
    try {
        CheckQueryCondition(condition);
        list->close();
        list->setSql(QueryStatement(condition, form->ComboBox1->currentIndex(), form->cbYear->currentText()));
        list->open();
        if (!list->isEmpty()) {
            form->RenumberList();
            return true;
        }
        ui::messageBox(QStringLiteral("没找到符合条件的条目,请再输入合适语句!"), QStringLiteral("信息"),
                       ui::MB_ICONINFORMATION);
    } catch (const db::DbError &e) {
        // The engine's own words say what is wrong with the condition.
        ui::messageBox(QStringLiteral("条件输入有误，请检查") + QLatin1Char('\n') + e.message(), attention,
                       ui::MB_ICONQUESTION);
    } catch (const ui::SilentAbort &) {
        throw;
    } catch (const std::exception &) {
        ui::messageBox(QStringLiteral("请检查查询输入框,重新选择条件"), attention, ui::MB_ICONQUESTION);
    }
    return false;
}

} // namespace

void TMainForm::wireQueryBuilder()
{
    Edit2->setValidator(new gbk::ByteLimitValidator(kMaxValueBytes, Edit2));
    setTreeTargets(TreeOwner::Query, this);
    ui::connectGuarded(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Change(); });
    const std::pair<QAbstractButton *, void (TMainForm::*)()> buttons[] = {
        {SpeedButton24, &TMainForm::SpeedButton24Click}, {SpeedButton15, &TMainForm::SpeedButton15Click},
        {SpeedButton17, &TMainForm::SpeedButton17Click}, {SpeedButton18, &TMainForm::SpeedButton18Click},
        {SpeedButton20, &TMainForm::SpeedButton20Click}, {SpeedButton21, &TMainForm::SpeedButton21Click},
        {SpeedButton16, &TMainForm::SpeedButton16Click}, {SpeedButton26, &TMainForm::SpeedButton26Click},
        {SpeedButton23, &TMainForm::SpeedButton23Click}, {ComboBox5, &TMainForm::ComboBox5DropDown},
        {ComboBox6, &TMainForm::ComboBox6DropDown}};
    for (const auto &[button, handler] : buttons)
        ui::connectGuarded(button, this, handler);
}

void TMainForm::ComboBox2Change()
{
    Edit2->clear();
    const QString column = chosenColumn(this);
    const QString name = ComboBox2->currentText();
    if (name.contains(kMinistryField))
        FillComboCodeName(DM->tblLsbw, Combobox3, QStringLiteral("Bwdm"), QStringLiteral("Bwmc"), 0);
    else
        FillQueryValueCombo(DM->Tblzdxx, column, Combobox3, 0);

    if (Combobox3->count() >= 2) {
        setValueMode(this, false);
    } else if (name.contains(kProvinceField)) {
        FillComboCodeName(DM->tblProvince, Combobox3, QStringLiteral("Province_i"), QStringLiteral("Province_n"), 1);
        setValueMode(this, false);
    } else {
        setValueMode(this, true);
    }
    // The classification numbers are typed, or picked from their tree.
    if (HasZtflh && name.contains(kLibraryClassField))
        setValueMode(this, true, ComboBox5);
    else if (HasXkfl && name.contains(kDisciplineClassField))
        setValueMode(this, true, ComboBox6);
}

void TMainForm::SpeedButton24Click()
{
    const QString column = chosenColumn(this);
    const QString name = ComboBox2->currentText();
    QString value = typedMode(this) ? Edit2->text() : ComboCode(Combobox3, 3);
    // A picked classification reads "code  name"; the field holds the code.
    if (typedMode(this) && name.contains(kClassNumberField))
        value = ClassificationCode(value);
    const QString op = ComboBox4->currentText();
    const db::Field *field = DM->Tblkjcg->findField(column);
    const QString problem = QueryValueProblem(name, field ? field->dataType() : 'C', op, value);
    if (!problem.isEmpty())
        Refuse(problem);
    appendText(MMUserV, QLatin1Char(' ') + name);
    appendText(MMSysV, QueryComparison(column, op, value));
}

void TMainForm::SpeedButton15Click()
{
    insertAtCaret(MMSysV, QStringLiteral("and "));
}

void TMainForm::SpeedButton17Click()
{
    insertAtCaret(MMSysV, QStringLiteral("not "));
}

void TMainForm::SpeedButton18Click()
{
    insertAtCaret(MMSysV, QStringLiteral("or "));
}

void TMainForm::SpeedButton20Click()
{
    insertAtCaret(MMSysV, QStringLiteral("("));
}

void TMainForm::SpeedButton21Click()
{
    insertAtCaret(MMSysV, QStringLiteral(")"));
}

void TMainForm::SpeedButton23Click()
{
    MMSysV->setReadOnly(false);
    MMSysV->cut();
    MMSysV->setReadOnly(true);
}

void TMainForm::SpeedButton16Click()
{
    db::Query *list = DM->Qrykjcg;
    ListSql = list->sql();
    const QString condition = MMSysV->toPlainText();
    if (!QueryParenthesesInOrder(condition)) {
        ShowWarning(QStringLiteral("您的查询语句含有不正确的的“（”“）”,请修改！"));
        return;
    }
    // Every failure brings back the list as it was, on the same record, so
    // that the marks and the lock still describe the current record.
    const bool hadRow = list->active() && !list->isEmpty();
    const QString key = hadRow ? trimmedField(list, "item_4") : QString();
    const QString region = hadRow ? trimmedField(list, "item_dqdm") : QString();
    if (gbk::trim(condition).isEmpty())
        ui::messageBox(QStringLiteral("没有条件无法查询!"), QStringLiteral("信息"), ui::MB_ICONINFORMATION);
    else if (showQuery(this, condition))
        return;
    ReopenQuery(list, ListSql);
    DBGrid1->setDataSource(DM->DSQkjcg); // in case numbering stopped half-way
    if (hadRow)
        LocateRecord(list, key, region);
}

void TMainForm::SpeedButton26Click()
{
    RefreshRecordList();
    RenumberList();
    MMSysV->clear();
}

void TMainForm::ComboBox5DropDown()
{
    pickTreeCode(TreeOwner::Query, 0);
}

void TMainForm::ComboBox6DropDown()
{
    pickTreeCode(TreeOwner::Query, 1);
}
