// The checks of section 01 before a save or a leave, in their fixed order.
#include "UnitPage1.h"

#include "SharedRoutines.h"
#include "text/Gbk.h"

namespace {

// Texts compared byte by byte on their first seven characters ("yyyy.mm").
QByteArray head7(const QString &text)
{
    return gbk::encode(text).left(7);
}

} // namespace

void TFpage1::CheckOverviewInput()
{
    const QString start = edt_8_y_s->text() + QLatin1Char('.') + edt_8_m_s->text();
    const QString end = edt_8_y_e->text() + QLatin1Char('.') + edt_8_m_e->text();
    const QString registered = DTP_121->enteredDate().toString(QStringLiteral("yyyy.MM.dd"));
    for (QLineEdit *e : {edt_8_y_s, edt_8_m_s, edt_8_y_e, edt_8_m_e})
        e->setText(gbk::trim(e->text()));

    for (QLineEdit *e : {edt_8_y_s, edt_8_m_s, edt_8_y_e, edt_8_m_e})
        if (e->text().isEmpty())
            Refuse(QStringLiteral("研究起止时间为必填项！"));
    if (head7(end) > head7(registered))
        Refuse(QStringLiteral("所填写的研究终止时间不应大于登记日期！"));
    if (head7(start) > head7(end))
        Refuse(QStringLiteral("所填写的研究起始时间不应大于研究终止时间！"));
    if (head7(start) == head7(end))
        Refuse(QStringLiteral("所填写的研究起始时间不应等于研究终止时间！"));
    if (gbk::trim(CB_1->currentText()).isEmpty())
        Refuse(QStringLiteral("\"成果密级\"不能为空！"));
    if (gbk::byteLength(edt_14_1->text()) + gbk::byteLength(edt_14_2->text()) + gbk::byteLength(edt_14_3->text())
        > 196)
        Refuse(QStringLiteral("\"关键词\"三栏总字数不要超过98字"));

    const bool tech = applied();
    if (tech) {
        if (ComboCode(cb_16, 3).isEmpty())
            Refuse(QStringLiteral("\"成果所处阶段\"不能为空！"));
        if (ComboCode(cb_33, 3).isEmpty())
            Refuse(QStringLiteral("\"转让范围\"不能为空！"));
        if (CodesFromChecks(this, QStringLiteral("PL_123"), 1, QString::fromUtf8("成果体现形式")).isEmpty())
            Refuse(QStringLiteral("\"成果体现形式\"不能为空！"));
    } else {
        if (ComboCode(cb_210, 3).isEmpty())
            Refuse(QStringLiteral("\"成果体现形式\"不能为空！"));
        if (CodesFromChecks(this, QStringLiteral("PL_200"), 2, QString::fromUtf8("社会经济目标")).isEmpty())
            Refuse(QStringLiteral("\"社会经济目标\"不能为空！"));
    }
    if (tech && ComboCode(Cb_125_1, 2).isEmpty())
        Refuse(QStringLiteral("\"成果属性\"不能为空！"));
    if (gbk::trim(cb_201->currentText()).isEmpty())
        Refuse(QStringLiteral("\"研究形式\"不能为空！"));
    if (gbk::trim(cb_2->currentText()).isEmpty())
        Refuse(QStringLiteral("\"成果水平\"不能为空！"));
    if (CodesFromChecks(this, QStringLiteral("PL_125"), 2, QString::fromUtf8("成果应用行业")).isEmpty())
        Refuse(QStringLiteral("\"成果应用行业\"不能为空！"));
    if (gbk::trim(Mo_13_1->toPlainText()).isEmpty())
        Refuse(QStringLiteral("\"简要技术说明与应用前景\"不能为空！"));
    if (gbk::trim(Mo_13->toPlainText()).isEmpty())
        Refuse(QStringLiteral("\"成果公告内容\"不能为空！"));
}
