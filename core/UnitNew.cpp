#include "UnitNew.h"

#include "SharedRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "db/file/DbError.h"
#include "db/journal/Journal.h"
#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/Utf8.h"
#include "ui/BitBtn.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/ModalWindows.h"
#include "ui/SilentAbort.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QSignalBlocker>

TFormNew *FormNew = nullptr;
bool AllowClose = true;
QString OldItem4;
QString OldItemDqdm;
QString OldItem3;
QString CheckSql;

namespace {

void information(const QString &text)
{
    ui::messageBox(text, u("提示信息"), ui::MB_OK | ui::MB_ICONINFORMATION);
}

void addYearToMainList(const QString &year)
{
    QComboBox *years = MainForm->cbYear;
    if (years->findText(year) >= 0)
        return;
    const QSignalBlocker block(years);
    years->addItem(year);
}

// Whether a record other than the one being modified carries the title.
bool titleTakenByOther(db::Dataset *sameTitle)
{
    for (sameTitle->first(); !sameTitle->eof(); sameTitle->next())
        if (trimmedField(sameTitle, "item_4") != OldItem4 || trimmedField(sameTitle, "item_dqdm") != OldItemDqdm)
            return true;
    return false;
}

// A new record has nothing filled in: every section starts incomplete and the
// list stays locked until the required ones are saved.
void lockOnNewRecord()
{
    MainForm->SetAllSectionKinds(ui::BitBtn::bkHelp);
    for (QWidget *w : QList<QWidget *>{MainForm->DBGrid1, MainForm->ComboBox1, MainForm->cbYear,
                                       MainForm->SpeedButton16, MainForm->SpeedButton26, MainForm->Button1,
                                       MainForm->Button5, MainForm->BitBtn1, MainForm->BitBtn2})
        w->setEnabled(false);
}

} // namespace

// The main window's new and modify buttons open the dialog from here, so
// that the dialog's file alone knows both sides: it fills itself from the
// list's current record and, after storing, sets the list's choice to its own.
void TMainForm::Button6Click()
{
    FormNew->setWindowTitle(TFormNew::newCaption());
    FormNew->edt_120->clear();
    FormNew->edt_3->clear();
    db::Table *unit = DM->Tblunit;
    FormNew->edt_9->setText(unit->isEmpty() ? QString() : unit->fieldByName("item_9")->asString());
    ui::showModal(FormNew);
}

void TMainForm::Button3Click()
{
    db::Query *list = DM->Qrykjcg;
    if (!list->active() || list->isEmpty()) {
        OldItem4.clear();
        OldItemDqdm.clear();
        OldItem3.clear();
        ui::messageBox(QString::fromUtf8("当前没有可以修改的项目"), QString::fromUtf8("请注意！"),
                       ui::MB_OK | ui::MB_ICONQUESTION);
        return;
    }
    OldItem4 = gbk::trim(list->fieldByName("item_4")->asString());
    OldItemDqdm = gbk::trim(list->fieldByName("item_dqdm")->asString());
    OldItem3 = list->fieldByName("item_3")->asString();
    const QString category = gbk::trim(list->fieldByName("ITEM_CGLB")->asString());
    FormNew->setCategoryIndex(category == "2" ? 1 : category == "3" ? 2 : 0);
    FormNew->setWindowTitle(TFormNew::modifyCaption());
    FormNew->setYearText(OldItem4.left(4));
    FormNew->edt_120->setText(list->fieldByName("item_120")->asString());
    FormNew->edt_3->setText(OldItem3);
    FormNew->edt_9->setText(list->fieldByName("item_9")->asString());
    ui::showModal(FormNew);
}

TFormNew::TFormNew(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    ui::fixWindowSize(this, 480, 288);
    edt_120->setValidator(new gbk::ByteLimitValidator(20, edt_120));
    edt_3->setValidator(new gbk::ByteLimitValidator(140, edt_3));
    edt_9->setValidator(new gbk::ByteLimitValidator(140, edt_9));
    gbk::acceptOnlyGbk(cbYear);
    UpDown1->setValue(cbYear->text().toInt());
    cbYear->installEventFilter(this);
    wireHandlers();
}

QString TFormNew::newCaption()
{
    return u("请填写新项目！");
}

QString TFormNew::modifyCaption()
{
    return u("修改主要项目！");
}

void TFormNew::wireHandlers()
{
    ui::connectGuarded(Button1, this, &TFormNew::Button1Click);
    ui::connectGuarded(Button2, this, &TFormNew::Button2Click);
    ui::connectGuarded(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    ui::connectGuarded(cbYear, &QLineEdit::textChanged, this, [this] { cbYearChange(); });
    ui::connectGuarded(edt_120, &QLineEdit::textChanged, this, [this] { edt_120Change(); });
    ui::connectGuarded(edt_3, &QLineEdit::textChanged, this, [this] { edt_3Change(); });
    ui::connectGuarded(edt_9, &QLineEdit::textChanged, this, [this] { edt_9Change(); });
    connect(UpDown1, &QScrollBar::valueChanged, this, [this](int year) { cbYear->setText(QString::number(year)); });
}

void TFormNew::setCategoryIndex(int index)
{
    const QSignalBlocker block(ComboBox1);
    ComboBox1->setCurrentIndex(index);
}

void TFormNew::setYearText(const QString &year)
{
    const QSignalBlocker block(cbYear);
    cbYear->setText(year);
    const QSignalBlocker blockSpin(UpDown1);
    if (IsAcceptedYear(year))
        UpDown1->setValue(year.toInt());
}

QString TFormNew::yearPrefix() const
{
    return gbk::trim(cbYear->text()).left(4);
}

void TFormNew::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    ui::guarded([this] { FormShow(); });
}

void TFormNew::closeIfAllowed()
{
    if (FormCloseQuery())
        closeNow();
}

bool TFormNew::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == cbYear && e->type() == QEvent::FocusOut) {
        // Only the user moving on leaves the field; a box or another window
        // taking the focus does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(e)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && isVisible())
            ui::guarded([this] { cbYearExit(); });
    }
    return ui::GuardedDialog::eventFilter(watched, e);
}

void TFormNew::FormShow()
{
    // A modified record keeps the category and year its opener set: the main
    // list may come from a query across years and categories.
    if (isNewMode()) {
        db::Query *profile = DM->Qrydwqk;
        if (profile->active() && !profile->isEmpty() && !profile->fieldByName("item_9")->isNull())
            edt_9->setText(profile->fieldByName("item_9")->asString());
        setCategoryIndex(MainForm->ComboBox1->currentIndex());
        setYearText(MainForm->cbYear->currentText());
    }
    AllowClose = true;
}

void TFormNew::cbYearChange()
{
    AllowClose = false;
    const QString text = cbYear->text();
    if (IsAcceptedYear(text)) {
        const QSignalBlocker block(UpDown1);
        UpDown1->setValue(text.toInt());
    }
    if (!allDigits(text)) {
        ShowWarning(u("不能输入非数字的字符！"));
        cbYear->setFocus();
        return;
    }
    QComboBox *years = MainForm->cbYear;
    const int i = years->findText(gbk::trim(text));
    if (i >= 0) {
        const QSignalBlocker block(years);
        years->setCurrentIndex(i);
    }
}

void TFormNew::checkYearRange()
{
    if (IsAcceptedYear(gbk::trim(cbYear->text())))
        return;
    ShowWarning(u("不能输入1900到2050外的年份！"));
    cbYear->setFocus();
    ui::abortAction();
}

void TFormNew::cbYearExit()
{
    checkYearRange();
}

void TFormNew::ComboBox1Change()
{
    AllowClose = false;
    if (ComboBox1->currentIndex() == MainForm->ComboBox1->currentIndex())
        return;
    {
        const QSignalBlocker block(MainForm->ComboBox1);
        MainForm->ComboBox1->setCurrentIndex(ComboBox1->currentIndex());
    }
    MainForm->RefreshRecordList();
}

void TFormNew::Button2Click()
{
    ListSql = DM->Qrykjcg->sql();
    if (AllowClose) {
        closeIfAllowed();
        return;
    }
    const bool hasTitle = !gbk::trim(edt_3->text()).isEmpty();
    const bool hasUnit = !gbk::trim(edt_9->text()).isEmpty();
    if (!hasTitle && !hasUnit) {
        AllowClose = true;
        closeIfAllowed();
    } else if (hasTitle && hasUnit) {
        if (ui::messageBox(u("退出并储存？"), u("提示信息"), ui::MB_OKCANCEL | ui::MB_ICONINFORMATION) == ui::IDOK) {
            Button1Click();
        } else {
            AllowClose = true;
        }
        closeIfAllowed();
    } else {
        Button1Click(); // its checks name the empty one
    }
}

void TFormNew::Button1Click()
{
    const QString year = gbk::trim(cbYear->text());
    const QString title = gbk::trim(edt_3->text());
    const QString unit = gbk::trim(edt_9->text());
    if (title.isEmpty() && unit.isEmpty() && gbk::trim(edt_120->text()).isEmpty()) {
        closeIfAllowed();
        return;
    }
    if (year.isEmpty())
        Refuse(u("年份不能为空！"));
    // A refused year can still stand in the field when the store button is
    // reached without leaving it.
    checkYearRange();
    if (title.isEmpty())
        Refuse(u("成果名称不能为空！"));
    if (unit.isEmpty())
        Refuse(u("成果第一完成单位不能为空！"));
    AllowClose = true;
    if (isNewMode())
        storeNew(title, unit);
    else if (isModifyMode())
        storeModified(title, unit);
}

void TFormNew::failStore(const QString &message)
{
    ui::messageBox(message, u("提示"), ui::MB_OK | ui::MB_ICONWARNING);
    showChoiceInMainList();
    ReopenQuery(DM->Qrykjcg, ListSql);
    MainForm->MarkSectionStatus();
    MainForm->UpdateNavigationLock();
    AllowClose = false;
    ui::abortAction();
}

void TFormNew::storeNew(const QString &title, const QString &unit)
{
    db::Query *list = DM->Qrykjcg;
    ListSql = list->sql();
    const int number = list->recordCount() + 1;

    CheckSql = "select * from kjcg where item_3='" + QuoteSql(title) + "'";
    ReopenQuery(list, CheckSql);
    if (!list->isEmpty()) {
        information(u("已有同名项目!"));
        ReopenQuery(list, ListSql);
        return;
    }

    const QString key = NextRecordKey(yearPrefix());
    const QString storedTitle = RequireText(title, u("成果名称不能为空！"));
    const QString storedUnit = RequireText(unit, u("成果第一完成单位名称不能为空！"));
    db::Table *out = DM->T_temp_out;
    writeRecord(out, [&] {
        out->append();
        out->fieldByName("no")->setAsString(QString::number(number));
        out->fieldByName("item_cglb")->setAsString(QString::number(ComboBox1->currentIndex() + 1));
        out->fieldByName("item_4")->setAsString(key);
        out->fieldByName("item_dqdm")->setAsString(kLocalRegion);
        out->fieldByName("item_120")->setAsString(edt_120->text());
        out->fieldByName("item_3")->setAsString(storedTitle);
        out->fieldByName("item_9")->setAsString(storedUnit);
    });
    addYearToMainList(key.left(4));

    showChoiceInMainList();
    ReopenQuery(list, ListSql);
    if (!list->locate("item_4", key, true))
        list->first();
    MainForm->MarkSectionStatus();
    MainForm->UpdateNavigationLock();
    lockOnNewRecord();
    closeIfAllowed();
}

void TFormNew::writeRecord(db::Table *out, const std::function<void()> &fill)
{
    try {
        fill();
        out->post();
    } catch (const db::DbError &e) {
        if (out->state() != db::Dataset::Browse)
            out->cancel();
        failStore(e.message());
    }
}

void TFormNew::storeModified(const QString &title, const QString &unit)
{
    db::Query *list = DM->Qrykjcg;
    ListSql = list->sql();
    CheckSql = "select * from kjcg where item_3='" + QuoteSql(title) + "'";
    ReopenQuery(DM->tempquery, CheckSql);
    QString key = OldItem4;
    QString region = OldItemDqdm;
    bool stored = false;
    if (titleTakenByOther(DM->tempquery)) {
        information(u("已有同名项目!"));
    } else {
        if (yearPrefix() != OldItem4.left(4)) {
            key = NextRecordKey(yearPrefix());
            region = kLocalRegion;
        }
        db::Table *out = DM->T_temp_out;
        openFiltered(out, keyFilter(OldItem4, OldItemDqdm));
        out->first();
        if (out->isEmpty())
            throw db::DbError(u("找不到要修改的项目 %1").arg(OldItem4));
        try {
            // The record and its child rows move as one, after a crash too.
            db::Transaction transaction(DataDir);
            if (key != OldItem4)
                KeepRecordRows(transaction, OldItem4, OldItemDqdm, RecordChange::NewKey);
            // The record first: should it fail, its child rows still carry its key.
            writeRecord(out, [&] {
                out->edit();
                const QString category = QString::number(std::max(0, ComboBox1->currentIndex()) + 1);
                out->fieldByName("item_cglb")->setAsString(category);
                ClearFieldsOfOtherCategory(out, category);
                out->fieldByName("item_4")->setAsString(key);
                out->fieldByName("item_dqdm")->setAsString(region);
                out->fieldByName("item_120")->setAsString(gbk::trim(edt_120->text()));
                out->fieldByName("item_3")->setAsString(title);
                out->fieldByName("item_9")->setAsString(unit);
            });
            if (key != OldItem4)
                MoveChildRows(OldItem4, OldItemDqdm, key);
            transaction.commit();
            stored = true;
        } catch (const db::DbError &e) {
            // Taken back by now: the list shows the record as it is stored.
            failStore(e.message());
        }
        addYearToMainList(key.left(4));
    }

    const auto showStored = [&] {
        showChoiceInMainList();
        ReopenQuery(list, ListSql);
        LocateRecord(list, key, region);
        MainForm->MarkSectionStatus();
        MainForm->RenumberList();
        MainForm->UpdateNavigationLock();
    };
    if (stored)
        AfterStored(u("项目已经修改"), showStored);
    else
        showStored();
    closeIfAllowed();
    LocateRecord(list, key, region);
}

void TFormNew::showChoiceInMainList()
{
    const int category = ComboBox1->currentIndex();
    if (category != MainForm->ComboBox1->currentIndex()) {
        const QSignalBlocker block(MainForm->ComboBox1);
        MainForm->ComboBox1->setCurrentIndex(category);
        MainForm->RefreshRecordList();
    }
    QComboBox *years = MainForm->cbYear;
    const QString year = gbk::trim(cbYear->text());
    for (int i = 0; i < years->count(); ++i) {
        if (years->itemText(i) != year)
            continue;
        {
            const QSignalBlocker block(years);
            years->setCurrentIndex(i);
            years->setEditText(year); // the edit may still hold a partial year
        }
        MainForm->RefreshRecordList();
    }
}
