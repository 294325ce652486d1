#include "PrintUnit.h"

#include "BusyCursor.h"
#include "RecordRoutines.h"
#include "ReportRoutines.h"
#include "Unit1.h"
#include "UnitDM.h"
#include "WordAppraisal.h"
#include "WordRegistration.h"
#include "db/journal/Journal.h"
#include "report/Printing.h"
#include "text/Gbk.h"
#include "ui/FixedSize.h"
#include "ui/HandlerGuard.h"
#include "ui/ModalWindows.h"

#include <QPainter>
#include <QShowEvent>

TPrintForm *PrintForm = nullptr;

namespace {

using RC = ReportClass;

struct PageButton
{
    const char *button;
    ReportClass report;
    const char *number; // the page label: its number in the form, or its place in a print
    bool body;          // a page of the record's own data, marked on the preview panels
};

// Previews: every page of the form, labelled with its number in the form.
const PageButton kAppliedTechnologyPages[] = {
    {"BitBtn28", RC::Tyyfm1, "", true},       {"BitBtn31", RC::Tyyfm2, "", false},
    {"BitBtn32", RC::TyyPrint01, "", false},  {"BitBtn29", RC::TyyPrint02, "", false},
    {"BitBtn30", RC::TyyPrint03, "3", true},  {"BitBtn33", RC::TyyPrint04, "", false},
    {"BitBtn34", RC::TyyPrint05, "5", true},  {"BitBtn35", RC::TyyPrint06, "", false},
    {"BitBtn36", RC::TyyPrint07, "7", true},  {"BitBtn37", RC::TyyPrint08, "8", true},
    {"BitBtn38", RC::TyyPrint09, "9", true},  {"BitBtn40", RC::TyyPrint10, "10", true},
    {"BitBtn39", RC::TyyPrint11, "11", true}, {"BitBtn41", RC::TyyPrint12, "", false},
    {"BitBtn1", RC::TyyPrint14, "", false},
};

const PageButton kBasicTheoryPages[] = {
    {"BitBtn15", RC::Trjfm1, "", true},      {"BitBtn18", RC::Trjfm2, "", false},
    {"BitBtn19", RC::TrjPrint01, "", false}, {"BitBtn16", RC::TrjPrint02, "", false},
    {"BitBtn17", RC::TrjPrint03, "3", true}, {"BitBtn20", RC::TrjPrint04, "", false},
    {"BitBtn21", RC::TrjPrint05, "5", true}, {"BitBtn22", RC::TrjPrint06, "6", true},
    {"BitBtn23", RC::TrjPrint07, "7", true}, {"BitBtn24", RC::TrjPrint08, "8", true},
    {"BitBtn25", RC::TrjPrint09, "9", true}, {"BitBtn27", RC::TrjPrint10, "", false},
    {"BitBtn26", RC::TrjPrint11, "", false},
};

// Section prints: the data pages, labelled with their place in the printed set.
const PageButton kAppliedTechnologySections[] = {
    {"zBitBtn5", RC::Tyyfm1, "", true},      {"zBitBtn6", RC::TyyPrint03, "1", true},
    {"zBitBtn7", RC::TyyPrint05, "2", true}, {"zBitBtn8", RC::TyyPrint07, "3", true},
    {"zBitBtn9", RC::TyyPrint08, "4", true}, {"zBitBtn10", RC::TyyPrint09, "5", true},
    {"zBitBtn2", RC::TyyPrint10, "6", true}, {"zBitBtn11", RC::TyyPrint11, "7", true},
};

const PageButton kBasicTheorySections[] = {
    {"zBitBtn13", RC::Trjfm1, "", true},      {"zBitBtn14", RC::TrjPrint03, "1", true},
    {"zBitBtn42", RC::TrjPrint05, "2", true}, {"zBitBtn43", RC::TrjPrint06, "3", true},
    {"zBitBtn44", RC::TrjPrint07, "4", true}, {"zBitBtn45", RC::TrjPrint08, "5", true},
    {"zBitBtn46", RC::TrjPrint09, "6", true},
};

// "1" is applied technology; every other category prints the other family.
bool appliedTechnologyRecord()
{
    return gbk::trim(DM->Qrykjcg->fieldByName(QStringLiteral("ITEM_CGLB"))->asString()) == QLatin1String("1");
}

// The mark of the pages that carry the record's data ("标*的按钮代表正文").
QIcon bodyPageGlyph()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(192, 0, 0), 4.5, Qt::SolidLine, Qt::RoundCap));
    p.translate(16, 16);
    for (int i = 0; i < 3; ++i) {
        p.drawLine(QPointF(0, -11), QPointF(0, 11));
        p.rotate(60);
    }
    return QIcon(pixmap);
}

} // namespace

TPrintForm::TPrintForm(QWidget *parent) : ui::GuardedDialog(parent)
{
    setupUi(this);
    setModal(true);
    // A fixed dialog left through its 退出 buttons: no buttons on the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    ui::fixWindowSize(this, 353, 251);

    ui::connectGuarded(Button4, this, &TPrintForm::Button4Click);
    ui::connectGuarded(Button7, this, &TPrintForm::Button7Click);
    ui::connectGuarded(Button3, this, &TPrintForm::Button3Click);
    ui::connectGuarded(Button1, this, &TPrintForm::Button1Click);
    ui::connectGuarded(Button2, this, &TPrintForm::Button2Click);
    ui::connectGuarded(BitBtn2, this, &TPrintForm::BitBtn3Click);
    ui::connectGuarded(BitBtn3, this, &TPrintForm::BitBtn3Click);
    ui::connectGuarded(zBitBtn3, this, &TPrintForm::zBitBtn3Click);
    ui::connectGuarded(zBitBtn1, this, &TPrintForm::zBitBtn3Click);
    ui::connectGuarded(BitBtn4a, this, &TPrintForm::Button3Click);
    ui::connectGuarded(zBitBtn4z, this, &TPrintForm::Button3Click);
    ui::connectGuarded(zBitBtn4, this, &TPrintForm::zBitBtn4Click);
    ui::connectGuarded(zBitBtn12, this, &TPrintForm::zBitBtn12Click);
    ui::connectGuarded(YY_Button, this, &TPrintForm::YY_ButtonClick);
    ui::connectGuarded(RJ_Button, this, &TPrintForm::RJ_ButtonClick);
    ui::connectGuarded(YY_SButton, this, &TPrintForm::YY_SButtonClick);
    ui::connectGuarded(RJ_SButton, this, &TPrintForm::RJ_SButtonClick);
    ui::connectGuarded(Button5, this, &TPrintForm::Button5Click);
    ui::connectGuarded(Button6, this, &TPrintForm::Button6Click);
    wirePageButtons();
}

void TPrintForm::wirePageButtons()
{
    const QIcon glyph = bodyPageGlyph();
    const auto wire = [&](const auto &table, void (TPrintForm::*action)(ReportClass, const QString &), bool marked) {
        for (const PageButton &b : table) {
            auto *button = findChild<QAbstractButton *>(QString::fromLatin1(b.button));
            Q_ASSERT(button);
            if (marked && b.body) {
                button->setIcon(glyph);
                button->setIconSize(QSize(12, 12));
            }
            const ReportClass report = b.report;
            const QString number = QString::fromLatin1(b.number);
            ui::connectGuarded(button, this, [this, action, report, number] { (this->*action)(report, number); });
        }
    };
    wire(kAppliedTechnologyPages, &TPrintForm::PreviewPage, true);
    wire(kBasicTheoryPages, &TPrintForm::PreviewPage, true);
    wire(kAppliedTechnologySections, &TPrintForm::PrintPage, false);
    wire(kBasicTheorySections, &TPrintForm::PrintPage, false);
}

void TPrintForm::ShowPrintPanel(int n)
{
    if (n < 1 || n > 5)
        return;
    const QList<QFrame *> panels = {Panel1, Panel2, Panel3, Panel4, Panel5};
    for (int i = 0; i < panels.size(); ++i)
        panels[i]->setVisible(i + 1 == n);
}

void TPrintForm::showEvent(QShowEvent *e)
{
    ui::GuardedDialog::showEvent(e);
    // A window restored by the window system keeps the panel it shows.
    if (!e->spontaneous())
        ui::guarded([this] { FormShow(); });
}

void TPrintForm::FormShow()
{
    ShowPrintPanel(5);
    m_reports.ForgetToldRowsLeftOut();
    const bool applied = appliedTechnologyRecord();
    ShowWordButtons(applied);
    YY_SButton->setVisible(applied);
    RJ_SButton->setVisible(!applied);
}

void TPrintForm::ShowWordButtons(bool appliedTechnology)
{
    YY_Button->setVisible(appliedTechnology);
    RJ_Button->setVisible(!appliedTechnology);
}

void TPrintForm::YY_ButtonClick()
{
    RegistrationToWord(WordFamily::yy, false);
}

void TPrintForm::RJ_ButtonClick()
{
    RegistrationToWord(WordFamily::rj, false);
}

void TPrintForm::YY_SButtonClick()
{
    RegistrationToWord(WordFamily::yy, true);
}

void TPrintForm::RJ_SButtonClick()
{
    RegistrationToWord(WordFamily::rj, true);
}

void TPrintForm::Button5Click()
{
    AppraisalToWord(AppraisalDocument::application);
}

void TPrintForm::Button6Click()
{
    AppraisalToWord(AppraisalDocument::certificate);
}

void TPrintForm::Button4Click()
{
    ShowPrintPanel(appliedTechnologyRecord() ? 3 : 4);
}

void TPrintForm::Button7Click()
{
    ShowPrintPanel(appliedTechnologyRecord() ? 2 : 1);
}

void TPrintForm::Button3Click()
{
    closeNow();
}

void TPrintForm::Button1Click()
{
    ShowWordButtons(true);
    ShowPrintPanel(5);
}

void TPrintForm::Button2Click()
{
    ShowWordButtons(false);
    ShowPrintPanel(5);
}

void TPrintForm::zBitBtn4Click()
{
    BusyCursor busy;
    m_reports.PrintWholeForm(true);
}

void TPrintForm::zBitBtn12Click()
{
    BusyCursor busy;
    m_reports.PrintWholeForm(false);
}

void TPrintForm::PreviewPage(ReportClass cls, const QString &number)
{
    BusyCursor busy;
    m_reports.PreviewReport(cls, number);
}

void TPrintForm::PrintPage(ReportClass cls, const QString &number)
{
    BusyCursor busy;
    m_reports.PrintSection(cls, number);
}

void TPrintForm::PreviewUnprepared(ReportClass cls)
{
    BusyCursor busy;
    report::preview(m_reports.CreateReport(cls), ReportTitle(cls));
}

void TPrintForm::BitBtn5Click()
{
    BusyCursor busy;
    report::Report &r = m_reports.CreateReport(RC::TyyPrint05);
    ClearCheckLabels(r);
    for (const char *field : {"ITEM_21", "ITEM_51", "ITEM_51_1", "ITEM_32", "ITEM_161", "ITEM_32_1"})
        MarkCheckField(r, DM->Qrykjcg->fieldByName(QString::fromLatin1(field)));
    report::preview(r, ReportTitle(RC::TyyPrint05));
}

void TPrintForm::BitBtn13Click()
{
    BusyCursor busy;
    report::Report &r = m_reports.PrepareReport(RC::Tyyfm1);
    // The registration date's parts at their places in the date's text.
    const QString date = gbk::trim(DM->Qrykjcg->fieldByName(QStringLiteral("ITEM_121"))->asString());
    r.setCaption(QStringLiteral("item_121_1"), date.mid(0, 4));
    r.setCaption(QStringLiteral("item_121_2"), date.mid(5, 2));
    r.setCaption(QStringLiteral("item_121_3"), date.mid(8, 2));
    report::preview(r, ReportTitle(RC::Tyyfm1));
}

void BitBtn4Click()
{
    // Nothing is printed or written to Word from tables left half changed.
    db::checkTablesWhole(DataDir);
    MainForm->MarkSectionStatus();
    db::Query *record = DM->Qrykjcg;
    if (!MainForm->UpdateNavigationLock() || !record->active() || record->isEmpty())
        return;
    const QString filter = keyFilter(record->fieldByName(QStringLiteral("ITEM_4"))->asString(),
                                     record->fieldByName(QStringLiteral("ITEM_DQDM"))->asString());
    for (db::Table *t : {DM->TblCgwcdw, DM->tblzlqk, DM->Tbljdwyhmd, DM->TblCgwcr})
        openFiltered(t, filter);
    ui::showModal(PrintForm);
}
