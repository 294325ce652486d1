#pragma once
// The print window: the record under the main list's cursor, with its child
// rows, as the registration form of its family. Five panels stacked on one
// another: the main menu, the page previews of each family and the section
// prints of each family; exactly one is visible.
#include "PrintReports.h"
#include "ui/GuardedDialog.h"
#include "ui_PrintUnit.h"

class TPrintForm : public ui::GuardedDialog, public Ui::TPrintForm
{
    Q_OBJECT

public:
    explicit TPrintForm(QWidget *parent = nullptr);

    // The report forms and the three in-memory lists of the window.
    PrintReports &Reports() { return m_reports; }

    // Shows panel n (1 to 5) and hides the four others; any other n changes nothing.
    void ShowPrintPanel(int n);
    // The main menu, with the Word buttons of the record's category.
    void FormShow();

    void Button4Click(); // 直接打印
    void Button7Click(); // 自定义打印
    void Button3Click(); // 退出, of every panel
    void BitBtn3Click() { Button3Click(); }
    void Button1Click(); // 返回 from the applied-technology pages
    void Button2Click(); // 返回 from the other family's pages
    void zBitBtn3Click() { ShowPrintPanel(5); } // 返回 from either section panel
    void zBitBtn4Click();  // 全文打印, applied technology
    void zBitBtn12Click(); // 全文打印, the other family

    // The registration form to Word, cover and body, of either family; the
    // S buttons write the body-text variant.
    void YY_ButtonClick();
    void RJ_ButtonClick();
    void YY_SButtonClick();
    void RJ_SButtonClick();
    // The appraisal application and certificate to Word, for every category.
    void Button5Click();
    void Button6Click();

    // Previews of single pages that no button offers: the form as it stands,
    // without the record's values (BitBtn5Click and BitBtn13Click fill a few).
    void BitBtn5Click();
    void BitBtn6Click() { PreviewUnprepared(ReportClass::TyyPrint04); }
    void BitBtn7Click() { PreviewUnprepared(ReportClass::TyyPrint07); }
    void BitBtn8Click() { PreviewUnprepared(ReportClass::TyyPrint08); }
    void BitBtn9Click() { PreviewUnprepared(ReportClass::TyyPrint09); }
    void BitBtn10Click() { PreviewUnprepared(ReportClass::TyyPrint10); }
    void BitBtn11Click() { PreviewUnprepared(ReportClass::TyyPrint11); }
    void BitBtn12Click() { PreviewUnprepared(ReportClass::TyyPrint12); }
    void BitBtn13Click();
    void BitBtn14Click() { PreviewUnprepared(ReportClass::Tyyfm2); }

protected:
    void leaveRequested() override { Button3Click(); }
    void showEvent(QShowEvent *e) override;

private:
    void wirePageButtons();
    void ShowWordButtons(bool appliedTechnology);
    void PreviewPage(ReportClass cls, const QString &number);
    void PrintPage(ReportClass cls, const QString &number);
    void PreviewUnprepared(ReportClass cls);

    PrintReports m_reports;
};

extern TPrintForm *PrintForm;

// The main window's 打印: on a record whose required sections are complete,
// filters the four child tables to it (the reports read them; the filters
// stay) and shows the print window. Otherwise nothing happens.
void BitBtn4Click();
