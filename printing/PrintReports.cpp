#include "PrintReports.h"

#include "ReportRoutines.h"
#include "UnitDM.h"
#include "report/LayoutParser.h"
#include "text/Gbk.h"

namespace {

const QString kRecordData = QStringLiteral("DM.Qrykjcg");

QString recordText(const char *field)
{
    return DM->Qrykjcg->fieldByName(QString::fromLatin1(field))->asString();
}

QString trimmedRecordText(const char *field)
{
    return gbk::trim(recordText(field));
}

QString provinceName()
{
    return LookupName(DM->tblProvince, QStringLiteral("Province_i"), QStringLiteral("Province_n"), recordText("ITEM_64"));
}

QString ministryName()
{
    return LookupName(DM->tblLsbw, QStringLiteral("Bwdm"), QStringLiteral("Bwmc"), recordText("ITEM_63"));
}

// Stored texts are measured in GBK bytes; so are their parts.
QString midBytes(const QString &text, qsizetype pos, qsizetype len = -1)
{
    return gbk::decode(gbk::encode(text).mid(pos, len));
}

QString rightBytes(const QString &text, qsizetype len)
{
    return gbk::decode(gbk::encode(text).right(len));
}

} // namespace

PrintReports::PrintReports()
    : ClientDataSet1({"ITEM_4", "ITEM_DQDM", "ITEM_190", "ITEM_191", "ITEM_192", "ITEM_193", "ITEM_194", "ITEM_195",
                      "ITEM_196", "ITEM_197", "ITEM_198", "ITEM_199"}),
      ClientDataSet2({"ITEM_4", "ITEM_DQDM", "ITEM_187", "ITEM_180", "ITEM_181", "ITEM_182", "ITEM_183", "ITEM_184",
                      "ITEM_185", "ITEM_186", "ITEM_188"}),
      ClientDataSet3({"ITEM_4", "ITEM_DQDM", "ITEM_176", "ITEM_170", "ITEM_171", "ITEM_172", "ITEM_173", "ITEM_174",
                      "ITEM_175"}),
      m_record(DM->Qrykjcg), m_list1(&ClientDataSet1), m_list2(&ClientDataSet2), m_list3(&ClientDataSet3)
{
}

PrintReports::~PrintReports() = default;

report::Report &PrintReports::CreateReport(ReportClass cls)
{
    const int i = reportIndex(cls);
    if (ReportCreateCount[i] < 1 || !m_forms[i]) {
        auto r = std::make_unique<report::Report>(report::loadLayout(ReportLayoutPath(cls)));
        r->setData(QString(), &m_record);
        r->setData(kRecordData, &m_record);
        r->setData(QStringLiteral("ClientDataSet1"), &m_list1);
        r->setData(QStringLiteral("ClientDataSet2"), &m_list2);
        r->setData(QStringLiteral("ClientDataSet3"), &m_list3);
        m_forms[i] = std::move(r);
    }
    ++ReportCreateCount[i];
    return *m_forms[i];
}

report::Report &PrintReports::PrepareReport(ReportClass cls)
{
    report::Report &r = CreateReport(cls);
    using RC = ReportClass;
    switch (cls) {
    case RC::Tyyfm1:
    case RC::Trjfm1:
        PrepareCover(r);
        break;
    case RC::TyyPrint03:
        PrepareKeywords(r);
        ClearCheckLabels(r);
        MarkFields(r, {"ITEM_2", "ITEM_16", "ITEM_33", "ITEM_123", "ITEM_124_1", "ITEM_125", "ITEM_126", "ITEM_140",
                       "ITEM_201", "ITEM_125_1"});
        break;
    case RC::TrjPrint03:
        PrepareKeywords(r);
        SetTrimmedTexts(r, {{"QR_item_15", "ITEM_15"}, {"QR_item_15_1", "ITEM_15_1"}, {"QR_item_12", "ITEM_12"},
                            {"QR_item_12_1", "ITEM_12_1"}, {"QR_item_127", "ITEM_127"},
                            {"QR_item_127_1", "ITEM_127_1"}});
        ClearCheckLabels(r);
        MarkFields(r, {"ITEM_2", "ITEM_125", "ITEM_126", "ITEM_140", "ITEM_200", "ITEM_201", "ITEM_210"});
        break;
    case RC::TyyPrint05:
        ClearCheckLabels(r);
        SetCodeLabel(DM->Tblzdxx, QStringLiteral("item_46"), recordText("ITEM_46"), r, QStringLiteral("QRLabel44"));
        SetCodeLabel(DM->Tblzdxx, QStringLiteral("item_47"), recordText("ITEM_47"), r, QStringLiteral("QRLabel45"));
        FillPatentSlots(r);
        r.setCaption(QStringLiteral("QR_ITEM_34"), recordText("ITEM_34"));
        MarkFields(r, {"ITEM_21", "ITEM_32", "ITEM_32_1", "ITEM_51", "ITEM_51_1", "ITEM_161", "ITEM_160"});
        break;
    case RC::TrjPrint05:
        ClearCheckLabels(r);
        SetTrimmedTexts(r, {{"QR_item_22", "ITEM_22"}, {"QR_item_9", "ITEM_9"}, {"QR_item_420", "ITEM_420"},
                            {"QR_item_37", "ITEM_37"}, {"QR_item_39", "ITEM_39"}, {"QR_item_60", "ITEM_60"},
                            {"QR_item_38", "ITEM_38"}, {"QR_item_40", "ITEM_40"}});
        r.setCaption(QStringLiteral("QR_item_64"), provinceName());
        r.setCaption(QStringLiteral("QR_item_63"), ministryName());
        SetTrimmedTexts(r, {{"QR_item_41", "ITEM_41"}, {"QR_item_41_2", "ITEM_41_2"}, {"QR_item_61", "ITEM_61"}});
        MarkConversionFlag(r);
        MarkFields(r, {"ITEM_41_3", "ITEM_62", "ITEM_21"});
        r.setCaption(QStringLiteral("QR_ITEM_34"), recordText("ITEM_34"));
        FillUnitsList(13);
        break;
    case RC::TyyPrint07:
        ClearCheckLabels(r);
        MarkFields(r, {"ITEM_41_3", "ITEM_62"});
        MarkConversionFlag(r);
        r.setCaption(QStringLiteral("QRLabel_64"), provinceName());
        r.setCaption(QStringLiteral("QRLabel_63"), ministryName());
        FillUnitsList(23);
        break;
    case RC::TyyPrint08:
        PrepareApprovalDate(r, QStringLiteral("QRLabel_d"));
        break;
    case RC::TrjPrint06:
        PrepareApprovalDate(r, QStringLiteral("QRLabel_D"));
        break;
    case RC::TyyPrint10:
    case RC::TyyPrint11:
    case RC::TrjPrint08:
    case RC::TrjPrint09:
        FillPaddedList(cls, r);
        break;
    default:
        break; // notes, instructions and appendices: the layout is all
    }
    return r;
}

void PrintReports::PrepareCover(report::Report &r)
{
    // Research period "2004.01   至2006.12": year and month of start and end.
    const QString period = trimmedRecordText("ITEM_8");
    const QString start = midBytes(period, 0, 7), end = rightBytes(period, 7);
    const bool hasPeriod = !period.isEmpty();
    r.setCaption(QStringLiteral("item_8_1"), hasPeriod ? midBytes(start, 0, 4) : QString());
    r.setCaption(QStringLiteral("item_8_2"), hasPeriod ? midBytes(start, 5, 2) : QString());
    r.setCaption(QStringLiteral("item_8_3"), hasPeriod ? midBytes(end, 0, 4) : QString());
    r.setCaption(QStringLiteral("item_8_4"), hasPeriod ? midBytes(end, 5, 2) : QString());

    // The registration date's parts come from the date itself, so no date
    // format can shift them.
    const db::Value registered = DM->Qrykjcg->fieldByName(QStringLiteral("ITEM_121"))->value();
    const QDate date = registered.kind == db::Value::Date ? registered.date : QDate();
    r.setCaption(QStringLiteral("item_121_1"), date.isValid() ? date.toString(QStringLiteral("yyyy")) : QString());
    r.setCaption(QStringLiteral("item_121_2"), date.isValid() ? date.toString(QStringLiteral("MM")) : QString());
    r.setCaption(QStringLiteral("item_121_3"), date.isValid() ? date.toString(QStringLiteral("dd")) : QString());
}

void PrintReports::PrepareKeywords(report::Report &r)
{
    QString s = trimmedRecordText("ITEM_14");
    QString k1, k2, k3;
    const qsizetype first = s.indexOf(QLatin1Char(';'));
    if (first < 0) {
        k1 = s;
    } else {
        k1 = gbk::trim(s.left(first));
        s = s.mid(first + 1);
        const qsizetype second = s.indexOf(QLatin1Char(';'));
        if (second < 0) {
            k2 = s;
        } else {
            k2 = gbk::trim(s.left(second));
            k3 = s.mid(second + 1); // a fourth keyword stays here after its ";"
        }
    }
    r.setCaption(QStringLiteral("item_14_1"), k1);
    r.setCaption(QStringLiteral("item_14_2"), k2);
    r.setCaption(QStringLiteral("item_14_3"), k3);
}

void PrintReports::PrepareApprovalDate(report::Report &r, const QString &dayLabel)
{
    const db::Value registered = DM->Qrykjcg->fieldByName(QStringLiteral("ITEM_121"))->value();
    const QString s = registered.kind == db::Value::Date && registered.date.isValid()
                          ? registered.date.toString(QStringLiteral("yyyyMMdd"))
                          : QString();
    r.setCaption(QStringLiteral("QRLabel_year"), s.mid(0, 4));
    r.setCaption(QStringLiteral("QRLabel_M"), s.mid(4, 2));
    r.setCaption(dayLabel, s.mid(6, 2));
}

void PrintReports::SetTrimmedTexts(report::Report &r,
                                   std::initializer_list<std::pair<const char *, const char *>> labels)
{
    for (const auto &[label, field] : labels)
        r.setCaption(QString::fromLatin1(label), trimmedRecordText(field));
}

void PrintReports::MarkFields(report::Report &r, std::initializer_list<const char *> fields)
{
    for (const char *field : fields)
        MarkCheckField(r, DM->Qrykjcg->fieldByName(QString::fromLatin1(field)));
}

void PrintReports::MarkConversionFlag(report::Report &r)
{
    // The unit form stores the flag as "1" (yes) or "0" (no), while the
    // printed options are 1 是 and 2 否: a "no" must mark 否.
    if (recordText("ITEM_163") == QLatin1String("0"))
        MarkCheckLabel(r, QStringLiteral("ITEM_163"), QStringLiteral("2"));
    else
        MarkFields(r, {"ITEM_163"});
}

void PrintReports::SetPageLabel(ReportClass cls, const QString &number)
{
    report::Report *r = form(cls);
    if (!r)
        return;
    switch (reportClassInfo(cls).label) {
    case PageLabelKind::PageLabel:
        r->setCaption(QStringLiteral("QRPage"), number);
        break;
    case PageLabelKind::ListLabel:
        r->setCaption(QStringLiteral("QRSysData1"), number + QStringLiteral("--"));
        r->setCaption(QStringLiteral("QRpage"), number);
        break;
    case PageLabelKind::None:
        break;
    }
}

QString PrintReports::PrintTitle(const QString &what) const
{
    const QString key = gbk::trim(DM->Qrykjcg->fieldByName(QStringLiteral("ITEM_4"))->asString());
    return key.isEmpty() ? what : key + QLatin1Char(' ') + what;
}
