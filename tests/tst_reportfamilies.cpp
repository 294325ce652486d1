// The 28 pages of the registration form as laid out: every option the
// preparation marks has its box beside its printed text, every bound text
// reads a real column, and a record filled to the last byte of every field
// prints with no text outside its frame or page, crossing a rule or another
// text.
#include "AppFixture.h"
#include "Records.h"

#include "PrintReports.h"
#include "ReportRoutines.h"
#include "TableSchemas.h"
#include "UnitDM.h"
#include "report/LayoutParser.h"
#include "report/PagePainter.h"
#include "report/TextFit.h"
#include "text/Gbk.h"
#include "text/Utf8.h"

#include <QtTest>
#include <functional>

namespace {

using RC = ReportClass;
using report::Element;
using report::Page;
using report::PageItem;

const QString kMark = QStringLiteral("√");
const QString kKey = "2006000001";
constexpr qreal kEps = 0.05; // mm

// The options of a check field as the form prints them, "code text", in order.
struct CheckField
{
    RC report;
    const char *field;
    QStringList options;
};

const QStringList kIndustries = {
    "01 农、林、牧、渔业", "02 采矿业", "03 制造业", "04 电力、煤气及水的生产和供应业", "05 建筑业",
    "07 交通运输、仓储和邮政业", "20 信息传输、计算机服务和软件业", "08 批发和零售业", "21 住宿和餐饮业",
    "09 金融业", "10 房地产业", "22 租赁和商务服务业", "23 科学研究、技术服务和地质勘查业",
    "24 水利、环境和公共设施管理业", "25 居民服务和其他服务业", "26 教育", "27 卫生、社会保障和社会福利业",
    "28 文化、体育和娱乐业", "29 公共管理和社会组织", "30 国际组织"};
const QStringList kPlans = {"1 863计划", "2 国家科技攻关计划", "3 基础研究计划", "6 国家科技基础条件平台计划",
                            "4 研究开发条件能力建设", "5 科技产业化环境建设计划"};
const QStringList kSources = {"02 部门计划", "03 地方计划", "05 部门基金", "06 地方基金", "09 民间基金",
                              "07 国际合作", "08 横向委托", "10 自选", "19 其他"};
const QStringList kLevels = {"1 国际领先", "2 国际先进", "3 国内领先", "4 国内先进", "5 国内一般"};
const QStringList kResearch = {"1 独立研究", "2 与企业合作", "3 与院校或院所合作", "4 与国外合作", "9 其他"};
const QStringList kUnitKinds = {"1 独立科研机构", "2 大专院校", "4 医疗机构", "9 其他"};
const QStringList kEnterprises = {"01 国有企业", "02 集体企业", "03 股份合作企业", "04 联营企业",
                                  "05 有限责任公司", "06 股份有限公司", "07 私营企业", "08 个体经营",
                                  "09 港、澳、台商投资企业", "10 外商投资企业", "11 其他企业"};
const QStringList kYesNo = {"1 是", "2 否"};

const QList<CheckField> &checkFields()
{
    static const QList<CheckField> fields = {
        {RC::TyyPrint03, "ITEM_123", {"1 新技术", "2 新工艺", "3 新产品", "4 新材料", "7 新装备", "5 农业、生物新品种",
                                      "6 矿产新品种", "9 其他应用技术", "A 国际标准", "B 国家标准", "C 行业标准",
                                      "D 地方标准", "E 企业标准"}},
        {RC::TyyPrint03, "ITEM_125_1", {"1 原始性创新", "2 国外引进消化吸收创新", "3 国内技术二次开发"}},
        {RC::TyyPrint03, "ITEM_16", {"1 初期阶段", "2 中期阶段", "3 成熟应用阶段"}},
        {RC::TyyPrint03, "ITEM_2", kLevels},
        {RC::TyyPrint03, "ITEM_33", {"1 允许出口", "2 限国内转让", "3 不转让"}},
        {RC::TyyPrint03, "ITEM_201", kResearch},
        {RC::TyyPrint03, "ITEM_124_1", {"01 电子信息", "02 软件", "03 航空航天", "04 光机电一体化",
                                        "05 生物、医药和医疗器械", "06 新材料", "07 新能源与高效节能", "08 环境保护",
                                        "09 地球、空间与海洋", "10 核应用技术", "11 农业"}},
        {RC::TyyPrint03, "ITEM_125", kIndustries},
        {RC::TyyPrint03, "ITEM_140", kPlans},
        {RC::TyyPrint03, "ITEM_126", kSources},
        {RC::TyyPrint05, "ITEM_21", {"1 鉴定", "2 验收", "3 行业准入", "5 评估", "7 知识产权"}},
        {RC::TyyPrint05, "ITEM_51", {"1 发明专利", "3 软件著作权", "9 其他"}},
        {RC::TyyPrint05, "ITEM_51_1", {"1 未申请专利", "2 已受理专利", "3 已授权专利"}},
        {RC::TyyPrint05, "ITEM_32", {"1 稳定应用", "2 应用后停用", "3 未应用"}},
        {RC::TyyPrint05, "ITEM_161", {"1 产权转让", "2 资金入股", "3 技术入股", "4 合作开发", "5 技术服务", "9 其他"}},
        {RC::TyyPrint05, "ITEM_32_1", {"1 资金问题", "2 技术问题", "3 市场问题", "4 管理问题", "5 政策问题"}},
        {RC::TyyPrint05, "ITEM_160", {"11 拨款未到位", "12 贷款困难", "13 无资金渠道", "14 协议终止", "15 其他",
                                      "21 技术过时", "22 成熟度不够", "23 成套性差", "24 引入技术冲击", "25 其他",
                                      "31 进口产品冲击", "32 新产品替代", "33 与市场要求不吻合", "34 市场信息不灵",
                                      "35 其他", "41 管理不好", "42 经营不善", "43 其他", "51 产品政策调整",
                                      "52 技术政策调整", "53 金融信贷政策", "54 进出口政策", "55 其他"}},
        {RC::TyyPrint07, "ITEM_62", kUnitKinds},
        {RC::TyyPrint07, "ITEM_41_3", kEnterprises},
        {RC::TyyPrint07, "ITEM_163", kYesNo},
        {RC::TrjPrint03, "ITEM_210", {"1 论文", "2 著作", "9 其他"}},
        {RC::TrjPrint03, "ITEM_2", kLevels},
        {RC::TrjPrint03, "ITEM_201", kResearch},
        {RC::TrjPrint03, "ITEM_200", {"01 陆地、海洋和大气的开发与评价", "02 民用宇宙空间", "03 农业、林业和渔业的发展",
                                      "04 促进工业的发展", "05 能源的生产、储存和分配", "06 交通、通讯事业的发展",
                                      "07 教育事业的发展", "08 卫生事业的发展", "09 社会发展和社会经济服务",
                                      "10 环境保护", "11 知识的全面发展", "12 其他民用目标", "13 国防"}},
        {RC::TrjPrint03, "ITEM_125", kIndustries},
        {RC::TrjPrint03, "ITEM_140", kPlans},
        {RC::TrjPrint03, "ITEM_126", kSources},
        {RC::TrjPrint05, "ITEM_21", {"2 验收", "4 评审", "6 结题"}},
        {RC::TrjPrint05, "ITEM_62", kUnitKinds},
        {RC::TrjPrint05, "ITEM_41_3", kEnterprises},
        {RC::TrjPrint05, "ITEM_163", kYesNo},
    };
    return fields;
}

// Every element of a layout, bands in order.
QList<const Element *> elements(const report::Layout &l)
{
    QList<const Element *> out;
    for (const report::Band &b : l.bands)
        for (const Element &e : b.elements)
            out << &e;
    return out;
}

report::Layout layoutOf(RC cls)
{
    return report::loadLayout(ReportLayoutPath(cls));
}

// ---- what a page must never show: ink outside its box or page, ink crossed
// by a rule or frame, two texts on one spot.

struct Segment
{
    QPointF a, b;
};

// Where the glyphs of each line of a text item stand: one em high in the
// middle of its line, as wide as the line measures, placed by its alignment.
QList<QRectF> inkOf(const PageItem &item)
{
    QList<QRectF> out;
    const QRectF box = item.textRect();
    const qreal block = item.lineHeight * item.lines.size();
    qreal top = box.top();
    if (item.vAlign & Qt::AlignVCenter)
        top += (box.height() - block) / 2;
    else if (item.vAlign & Qt::AlignBottom)
        top += box.height() - block;
    const qreal em = item.font.size * 25.4 / 72;
    for (int i = 0; i < item.lines.size(); ++i) {
        const QString &line = item.lines[i];
        if (line.trimmed().isEmpty())
            continue;
        const qreal w = report::textWidth(line, item.font, item.font.size);
        qreal x = box.left();
        if (item.hAlign & Qt::AlignHCenter)
            x += (box.width() - w) / 2;
        else if (item.hAlign & Qt::AlignRight)
            x += box.width() - w;
        out << QRectF(x, top + i * item.lineHeight + (item.lineHeight - em) / 2, w, em);
    }
    return out;
}

QList<Segment> rulesOf(const PageItem &item)
{
    const QRectF r = item.rect;
    const Segment left{r.topLeft(), r.bottomLeft()}, top{r.topLeft(), r.topRight()},
        right{r.topRight(), r.bottomRight()}, bottom{r.bottomLeft(), r.bottomRight()};
    switch (item.kind) {
    case PageItem::Line:
        return {{r.topLeft(), r.bottomRight()}};
    case PageItem::Box:
        return {left, top, right, bottom};
    case PageItem::Text: {
        QList<Segment> out;
        if (item.frame & report::FrameLeft)
            out << left;
        if (item.frame & report::FrameTop)
            out << top;
        if (item.frame & report::FrameRight)
            out << right;
        if (item.frame & report::FrameBottom)
            out << bottom;
        return out;
    }
    }
    return {};
}

// Rules are upright or level.
bool crosses(const Segment &s, const QRectF &ink)
{
    const QRectF inner = ink.adjusted(kEps, kEps, -kEps, -kEps);
    const QRectF span = QRectF(s.a, s.b).normalized();
    if (span.width() < kEps)
        return span.left() > inner.left() && span.left() < inner.right() && span.top() < inner.bottom()
               && span.bottom() > inner.top();
    return span.top() > inner.top() && span.top() < inner.bottom() && span.left() < inner.right()
           && span.right() > inner.left();
}

QString describe(const PageItem &item)
{
    return QString("%1 \"%2\"").arg(item.name.isEmpty() ? QString("text") : item.name, item.text().left(24));
}

// Every fault of a page, one line each.
QStringList faultsOf(const Page &page)
{
    QStringList faults;
    const QRectF body(10, 10, 190, 277);
    QList<Segment> rules;
    QList<std::pair<const PageItem *, QRectF>> inks;
    for (const PageItem &item : page.items) {
        const QRectF r = item.rect.normalized();
        if (r.left() < body.left() - kEps || r.top() < body.top() - kEps || r.right() > body.right() + kEps
            || r.bottom() > body.bottom() + kEps)
            faults << describe(item) + " outside the page's margins";
        rules += rulesOf(item);
        if (item.kind != PageItem::Text)
            continue;
        for (const QRectF &ink : inkOf(item)) {
            if (!item.textRect().adjusted(-kEps, -kEps, kEps, kEps).contains(ink))
                faults << describe(item) + " runs out of its box";
            inks << std::pair{&item, ink};
        }
    }
    for (const auto &[item, ink] : inks) {
        for (const Segment &s : rules)
            if (crosses(s, ink)) {
                faults << describe(*item) + " is crossed by a rule";
                break;
            }
        for (const auto &[other, otherInk] : inks)
            if (other < item && ink.adjusted(kEps, kEps, -kEps, -kEps).intersects(otherInk))
                faults << describe(*item) + " overlaps " + describe(*other);
    }
    faults.removeDuplicates();
    return faults;
}

// Labels whose wording is the form's own must print at the layout's size.
QStringList shrunkWording(const report::Layout &l)
{
    QStringList out;
    for (const Element *e : elements(l)) {
        if (e->kind != Element::Label || e->caption.isEmpty())
            continue;
        const report::FittedText fitted = report::fitText(e->caption, e->font,
                                                          PageItem::textRectOf(e->rect, e->frame).size());
        if (fitted.size < e->font.size)
            out << QString("%1: \"%2\" shrinks to %3 pt").arg(l.name, e->caption).arg(fitted.size);
    }
    return out;
}

// ---- records

void setFields(const QString &key, const QList<std::pair<const char *, QString>> &fields)
{
    for (const auto &[field, value] : fields)
        setRecordField(key, field, value);
}

// A text of exactly bytes GBK bytes: Chinese, ending in an ASCII letter when odd.
QString fullText(int bytes, const QString &stem = u("测试内容"))
{
    QString s;
    while (gbk::byteLength(s) + 2 <= bytes)
        s += stem[s.size() % stem.size()];
    if (gbk::byteLength(s) < bytes)
        s += QLatin1Char('X');
    return s;
}

// Every column of the record and its child rows as long as its table takes.
void fillRecord(const QString &key, const QString &category, int units)
{
    addRecord(key, category, fullText(140));
    const TableSchema *kjcg = tableSchema("kjcg");
    // Codes, dates and numbers as the sections store them; texts full.
    const QHash<QString, QString> coded = {
        {"ITEM_4", key},          {"ITEM_DQDM", "."},        {"ITEM_CGLB", category},
        {"ITEM_2", "4"},          {"ITEM_16", "3"},          {"ITEM_33", "2"},
        {"ITEM_123", "E"},        {"ITEM_124_1", "05"},      {"ITEM_125", "23;"},
        {"ITEM_125_1", "2"},      {"ITEM_126", "09;19;"},    {"ITEM_140", "6"},
        {"ITEM_200", "01"},       {"ITEM_201", "3"},         {"ITEM_210", "9"},
        {"ITEM_21", "2"},         {"ITEM_32", "2"},          {"ITEM_32_1", "3"},
        {"ITEM_160", "33"},       {"ITEM_161", "5;9;"},      {"ITEM_51", "3"},
        {"ITEM_51_1", "3"},       {"ITEM_62", "9"},          {"ITEM_41_3", "09"},
        {"ITEM_163", "1"},        {"ITEM_46", "03"},         {"ITEM_47", "01"},
        {"ITEM_64", "11"},        {"ITEM_63", "301"},        {"ITEM_8", "2004.01   至2006.12"},
        {"ITEM_121", "2006-12-30"}, {"ITEM_34", "2006-11-28"}, {"ITEM_38", "100081"},
        {"ITEM_12", "TP391.41"},  {"ITEM_12_1", "TN929.53"}, {"ITEM_15", "520.6040"},
        {"ITEM_15_1", "510.4050"}, {"ITEM_14", u("纳米复合材料;高温防护涂层;等离子喷涂工艺")},
        {"ITEM_1", "1"},          {"ITEM_110", "1"},         {"ITEM_131", "1"},
        {"ITEM_300", "1"},        {"ITEM_304", "1"},         {"ITEM_305", "1"},
        {"ITEM_SJDR", "1"},       {"ITEM_SJDC", "1"},        {"NO", "1"},
    };
    db::Table *t = DM->Tblkjcg;
    t->first();
    QVERIFY(t->locate("ITEM_4", key));
    t->edit();
    for (const db::ColumnDef &c : kjcg->columns) {
        QString value;
        if (coded.contains(c.name))
            value = coded.value(c.name);
        else if (c.type == 'N')
            value = c.length > 6 ? "987654.32" : "9999";
        else if (c.type == 'M')
            value = fullText(1600, u("本成果研究了高温环境下防护涂层的失效机理，"));
        else if (c.type == 'C' && c.name != "ITEM_3")
            value = c.name == "ITEM_60" || c.name == "ITEM_61" || c.name == "ITEM_420" || c.name == "ITEM_39"
                            || c.name == "ITEM_40" || c.name == "ITEM_22" || c.name == "ITEM_53"
                            || c.name == "ITEM_127" || c.name == "ITEM_120"
                        ? QString(c.length, QLatin1Char('8'))
                        : fullText(c.length);
        else
            continue;
        t->fieldByName(c.name)->setAsString(value);
    }
    t->post();

    // Every child row full as well: a second page of each list.
    addRecordRows(key, "cgwcr", 19, [](db::Table &r, int i) {
        r.fieldByName("ITEM_187")->setAsInteger(i);
        r.fieldByName("ITEM_180")->setAsString(fullText(20, u("欧阳")));
        r.fieldByName("ITEM_181")->setAsString("1");
        r.fieldByName("ITEM_182")->setAsString("1966-12");
        r.fieldByName("ITEM_183")->setAsString("2");
        r.fieldByName("ITEM_184")->setAsString("3");
        r.fieldByName("ITEM_188")->setAsString("1");
        r.fieldByName("ITEM_185")->setAsString(fullText(80, u("研究院所")));
        r.fieldByName("ITEM_186")->setAsString(fullText(160, u("总体设计")));
    });
    addRecordRows(key, "jdwyhmd", 16, [](db::Table &r, int i) {
        r.fieldByName("ITEM_190")->setAsInteger(i);
        r.fieldByName("ITEM_191")->setAsString(fullText(20, u("副主任委员")));
        r.fieldByName("ITEM_192")->setAsString(fullText(20, u("欧阳")));
        r.fieldByName("ITEM_193")->setAsString("1");
        r.fieldByName("ITEM_194")->setAsString("1950-01");
        r.fieldByName("ITEM_195")->setAsString(fullText(80, u("研究院所")));
        r.fieldByName("ITEM_196")->setAsString(fullText(30, u("材料科学")));
        r.fieldByName("ITEM_197")->setAsString(fullText(30, u("表面工程")));
        r.fieldByName("ITEM_198")->setAsString("1");
        r.fieldByName("ITEM_199")->setAsString(fullText(16));
    });
    addRecordRows(key, "cgwcdw", units, [](db::Table &r, int i) {
        r.fieldByName("ITEM_176")->setAsInteger(i);
        r.fieldByName("ITEM_170")->setAsString(fullText(80, u("合作单位")));
        r.fieldByName("ITEM_171")->setAsString(fullText(80, u("通讯地址")));
        r.fieldByName("ITEM_172")->setAsString(QString(20, QLatin1Char('8')));
        r.fieldByName("ITEM_173")->setAsString(fullText(20, u("联系")));
    });
    addRecordRows(key, "zlqk", 4, [](db::Table &r, int i) {
        r.fieldByName("ITEM_NO")->setAsInteger(i);
        r.fieldByName("PATENT_NO")->setAsString(QString("ZL200510%1234567").arg(i).left(15));
        r.fieldByName("PATENT_NAM")->setAsString(fullText(140, u("专利名称")));
    });
}

QList<RC> family(bool applied)
{
    QList<RC> out;
    for (int i = 0; i < ReportClassCount; ++i)
        if (ReportClassName(RC(i)).startsWith(applied ? "Tyy" : "Trj"))
            out << RC(i);
    return out;
}

// The text printed right of a mark box on its row: the option it stands for.
QString optionBeside(const Page &page, const PageItem &box)
{
    const PageItem *best = nullptr;
    for (const PageItem &i : page.items)
        if (i.kind == PageItem::Text && &i != &box && i.rect.left() >= box.rect.right() - kEps
            && i.rect.top() <= box.rect.center().y() && i.rect.bottom() >= box.rect.center().y()
            && !i.lines.isEmpty() && (!best || i.rect.left() < best->rect.left()))
            best = &i;
    return best ? best->text() : QString();
}

// The options printed beside every mark of the pages.
QStringList markedOptions(const QVector<Page> &pages)
{
    QStringList out;
    for (const Page &p : pages)
        for (const PageItem &i : p.items)
            if (i.text() == kMark)
                out << optionBeside(p, i);
    return out;
}

// Every text of the pages, lines joined.
QStringList textsOf(const QVector<Page> &pages)
{
    QStringList out;
    for (const Page &p : pages)
        for (const PageItem &i : p.items)
            if (i.kind == PageItem::Text && !i.lines.isEmpty())
                out << i.lines.join(QString());
    return out;
}

class TestReportFamilies : public QObject
{
    Q_OBJECT

private slots:
    void everyPageHasTheOptionsItsPreparationMarks();
    void boundTextsReadRealColumns();
    void fullAndEmptyRecordsStayInsideTheirFrames();
    void appliedTechnologyPagesShowTheRecord();
    void basicTheoryAndSoftSciencePagesShowTheRecord();
    void amountsShrinkRatherThanBreak();
    void longestKeywordsStayInsideTheirRow();
};

void TestReportFamilies::everyPageHasTheOptionsItsPreparationMarks()
{
    QStringList shrunk;
    for (int i = 0; i < ReportClassCount; ++i) {
        const RC cls = RC(i);
        const report::Layout l = layoutOf(cls);
        QCOMPARE(l.name, ReportClassName(cls));
        QCOMPARE(l.page, QSizeF(210, 297));
        QCOMPARE(l.margins, QMarginsF(10, 10, 10, 10));
        QVERIFY(l.firstPageHeader && l.lastPageFooter);
        shrunk += shrunkWording(l);

        // Each mark box of the page stands for one listed option and has the
        // option's text right after it; each field's options keep the form's order.
        QStringList expected, found;
        QHash<QString, QString> fieldOf;
        for (const CheckField &f : checkFields())
            if (f.report == cls)
                for (const QString &option : f.options) {
                    const QString name = QString("QL_%1_%2").arg(f.field, option.section(' ', 0, 0));
                    expected << name + " " + option.section(' ', 1);
                    fieldOf[name] = f.field;
                }
        const QList<const Element *> all = elements(l);
        for (int k = 0; k < all.size(); ++k)
            if (all[k]->name.startsWith("QL_ITEM_")) {
                const QString text = k + 1 < all.size() && all[k + 1]->name.isEmpty() ? all[k + 1]->caption : "";
                found << all[k]->name + " " + text;
            }
        auto byField = [&](const QStringList &list) {
            QStringList out = list;
            std::stable_sort(out.begin(), out.end(), [&](const QString &a, const QString &b) {
                return fieldOf.value(a.section(' ', 0, 0)) < fieldOf.value(b.section(' ', 0, 0));
            });
            return out;
        };
        QCOMPARE(byField(found), byField(expected));
    }
    for (const QString &f : shrunk)
        qWarning("%s", qPrintable(f));
    QVERIFY2(shrunk.isEmpty(), qPrintable(QString("%1 shrunk").arg(shrunk.size())));
}

void TestReportFamilies::boundTextsReadRealColumns()
{
    AppFixture app;
    PrintReports p;
    QHash<QString, QStringList> columns = {{"", {}},
                                           {"clientdataset1", p.ClientDataSet1.fieldNames()},
                                           {"clientdataset2", p.ClientDataSet2.fieldNames()},
                                           {"clientdataset3", p.ClientDataSet3.fieldNames()}};
    for (const db::ColumnDef &c : tableSchema("kjcg")->columns)
        columns[""] << c.name;
    columns["dm.qrykjcg"] = columns[""];
    int bound = 0;
    for (int i = 0; i < ReportClassCount; ++i) {
        const report::Layout l = layoutOf(RC(i));
        for (const report::Band &b : l.bands)
            for (const Element &e : b.elements) {
                if (e.field.isEmpty())
                    continue;
                // A text in the detail band of a list reads the list's row.
                const QString data = (!e.dataset.isEmpty() ? e.dataset
                                      : b.kind == report::Band::Detail ? l.dataset
                                                                       : QString())
                                         .toLower();
                QVERIFY2(columns.contains(data), qPrintable(l.name + ": " + e.name + " reads " + data));
                QVERIFY2(columns[data].contains(e.field, Qt::CaseInsensitive),
                         qPrintable(l.name + ": " + e.name + " reads no column " + e.field));
                ++bound;
            }
    }
    QVERIFY(bound > 100);
}

void TestReportFamilies::fullAndEmptyRecordsStayInsideTheirFrames()
{
    AppFixture app;
    fillRecord(kKey, "1", 23);
    fillRecord("2006000002", "2", 13);
    addRecord("2006000003", "1", QString());
    addRecord("2006000004", "3", QString());
    PrintReports p;
    const QString png = QString::fromLocal8Bit(qgetenv("CORVANE_PAGE_PNG"));
    QStringList faults;
    const QList<std::tuple<QString, bool, const char *>> records = {
        {kKey, true, "full"}, {"2006000002", false, "full"}, {"2006000003", true, "empty"}, {"2006000004", false, "empty"}};
    for (const auto &[key, applied, state] : records) {
        selectRecord(key);
        for (RC cls : family(applied)) {
            report::Report &r = p.PrepareReport(cls);
            // Every box of the page marked at once: each mark fits its box.
            if (QString(state) == "full")
                for (const QString &name : r.elementNames())
                    if (name.startsWith("QL_ITEM_"))
                        r.setCaption(name, kMark);
            const QVector<Page> pages = r.run();
            for (int n = 0; n < pages.size(); ++n) {
                const QString where = QString("%1 %2 page %3: ").arg(state, r.name()).arg(n + 1);
                for (const QString &f : faultsOf(pages[n]))
                    faults << where + f;
                if (!png.isEmpty())
                    report::renderPage(pages[n], 110).save(QString("%1/%2-%3-%4.png").arg(png, state, r.name()).arg(n + 1));
            }
            // Pages without a list print on one sheet.
            if (r.layout().dataset.isEmpty() && cls != RC::TyyPrint09 && cls != RC::TrjPrint07)
                QVERIFY2(pages.size() == 1, qPrintable(r.name()));
        }
    }
    for (const QString &f : faults)
        qWarning("%s", qPrintable(f));
    QVERIFY2(faults.isEmpty(), qPrintable(QString("%1 faults").arg(faults.size())));
}

// The form's header lines a family prints: on the cover, on page 3, and on
// no other page.
void checkHeaderLines(PrintReports &p, bool applied, const QStringList &cover, const QStringList &page3)
{
    static const QRegularExpression header("^(表\\s+号|制表机关|批准机关|批准文号|有效期截止时间)");
    for (RC cls : family(applied)) {
        QStringList found;
        for (const QString &t : textsOf(p.PrepareReport(cls).run()))
            if (header.match(t).hasMatch())
                found << t;
        const QString name = ReportClassName(cls);
        const QStringList expected = name.contains("fm1") ? cover : name.endsWith("Print03") ? page3 : QStringList();
        QVERIFY2(found == expected, qPrintable(name + ": " + found.join(" | ")));
    }
}

// Notes, instructions and appendices carry their page number as layout text.
void checkPrintedNumbers(PrintReports &p, const QList<std::pair<RC, QString>> &numbers)
{
    for (const auto &[cls, number] : numbers) {
        const QVector<Page> pages = p.PrepareReport(cls).run();
        QVERIFY2(textsOf(pages).last() == number, qPrintable(ReportClassName(cls)));
    }
}

void TestReportFamilies::appliedTechnologyPagesShowTheRecord()
{
    AppFixture app;
    addRecord(kKey, "1", u("纳米复合涂层"));
    setFields(kKey, {{"ITEM_124_1", "07"}, {"ITEM_32", "3"}, {"ITEM_32_1", "2"}, {"ITEM_160", "22"}, {"ITEM_46", "03"}});
    addRecord("2006000002", "1", u("乙"));
    PrintReports p;

    // Each mark stands in the box beside the option the record holds.
    selectRecord(kKey);
    QCOMPARE(markedOptions(p.PrepareReport(RC::TyyPrint03).run()), QStringList({u("新能源与高效节能")}));
    // Not applied, for a technical reason: not mature enough.
    QStringList reasons = markedOptions(p.PrepareReport(RC::TyyPrint05).run());
    reasons.sort();
    QCOMPARE(reasons, QStringList({u("成熟度不够"), u("技术问题"), u("未应用")}));
    QCOMPARE(p.form(RC::TyyPrint05)->lastRun()[0].text("QRLabel44"), u("100～500"));

    // The next record has no expected investment: the line stays empty.
    selectRecord("2006000002");
    const QVector<Page> page5 = p.PrepareReport(RC::TyyPrint05).run();
    QCOMPARE(page5[0].text("QRLabel44"), QString());
    QCOMPARE(markedOptions(page5), QStringList());
    QCOMPARE(markedOptions(p.PrepareReport(RC::TyyPrint03).run()), QStringList());

    checkHeaderLines(p, true,
                     {u("表    号:CG-002"), u("制表机关：Maradel"), u("批准机关：国家统计局"),
                      u("批准文号：国统函[2006] 52 号"), u("有效期截止时间：2008年 11月")},
                     {u("表   号：CG-002"), u("制表机关：Maradel"), u("批准机关：国家统计局"),
                      u("批准文号：国统函[2006] 52号"), u("有效期截止时间：2008年 11月")});
    checkPrintedNumbers(p, {{RC::TyyPrint01, "1"}, {RC::TyyPrint02, "2"}, {RC::TyyPrint04, "4"},
                            {RC::TyyPrint06, "6"}, {RC::TyyPrint12, "12"}, {RC::TyyPrint14, "13"}});
}

void TestReportFamilies::basicTheoryAndSoftSciencePagesShowTheRecord()
{
    AppFixture app;
    // Soft science and basic theory print one form: the same pages.
    fillRecord("2006000002", "2", 14);
    fillRecord("2006000003", "3", 14);
    PrintReports p;
    QHash<RC, QStringList> printed;
    for (const QString key : {"2006000002", "2006000003"}) {
        selectRecord(key);
        for (RC cls : family(false)) {
            const QStringList texts = textsOf(p.PrepareReport(cls).run());
            if (key.endsWith('2'))
                printed[cls] = texts;
            else
                QVERIFY2(texts == printed[cls], qPrintable(ReportClassName(cls)));
        }
    }
    // Fourteen units: the first thirteen on page 5, in their order.
    QStringList numbers;
    for (const Page &page : p.PrepareReport(RC::TrjPrint05).run())
        for (const PageItem *i : page.all("DB_ITEM_176"))
            numbers << i->text();
    QCOMPARE(numbers, QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"}));

    addRecord(kKey, "2", u("软科学"));
    selectRecord(kKey);
    // 评审 is 4 on this form; the codes of the other form's methods mark nothing.
    for (const auto &[code, option] : QList<std::pair<const char *, QString>>{
             {"4", u("评审")}, {"2", u("验收")}, {"6", u("结题")}, {"1", ""}, {"3", ""}, {"5", ""}, {"7", ""}}) {
        setRecordField(kKey, "ITEM_21", code);
        selectRecord(kKey);
        const QStringList marked = markedOptions(p.PrepareReport(RC::TrjPrint05).run());
        QCOMPARE(marked, option.isEmpty() ? QStringList() : QStringList{option});
    }
    setRecordField(kKey, "ITEM_200", "13");
    selectRecord(kKey);
    QCOMPARE(markedOptions(p.PrepareReport(RC::TrjPrint03).run()), QStringList({u("国防")}));

    checkHeaderLines(p, false,
                     {u("表    号：CG-002"), u("制表机关：Maradel"), u("批准机关：国家统计局"),
                      u("批准文号：国统函[2006] 52 号"), u("有效期截止时间：2008年 11月")},
                     {u("表    号：CG-001"), u("制表机关：Maradel"), u("批准机关：国家统计局"),
                      u("批准文号：国统函[2006] 52 号"), u("有效期截止时间：2008年 11月")});
    checkPrintedNumbers(p, {{RC::TrjPrint01, "1"}, {RC::TrjPrint02, "2"}, {RC::TrjPrint04, "4"},
                            {RC::TrjPrint10, "10"}, {RC::TrjPrint11, "11"}});
}

} // namespace

// Page 3 of both families: an amount of 15 significant digits stays one
// line in its cell, in smaller type, inside its frame.
void TestReportFamilies::amountsShrinkRatherThanBreak()
{
    AppFixture app;
    const QList<std::pair<const char *, QString>> amounts = {
        {"ITEM_149", "123456789.123456"}, {"ITEM_141", "123456789012345"}, {"ITEM_145", "-0.000001"},
        {"ITEM_143", "-99999999999999.9"}, {"ITEM_144", "7"}};
    PrintReports p;
    for (const auto &[key, category, cls] : {std::tuple{kKey, "1", RC::TyyPrint03}, {"2006000002", "2", RC::TrjPrint03}}) {
        addRecord(key, category, u("纳米复合涂层"));
        setFields(key, amounts);
        selectRecord(key);
        const QVector<Page> pages = p.PrepareReport(cls).run();
        for (const auto &[field, amount] : amounts) {
            const PageItem *cell = pages[0].item(QString("DB_") + field);
            QVERIFY2(cell && cell->lines == QStringList{amount}, qPrintable(QString(field) + ": " + cell->text()));
            QVERIFY(report::textWidth(amount, cell->font, cell->font.size) <= cell->textRect().width() + kEps);
        }
        QCOMPARE(pages[0].item("DB_ITEM_144")->font.size, 9.0);
        QCOMPARE(faultsOf(pages[0]), QStringList());
    }
}

// The keyword edits take 198 bytes each: 99 Chinese characters in a frame of
// one row, or as many letters in words.
void TestReportFamilies::longestKeywordsStayInsideTheirRow()
{
    AppFixture app;
    const QString chinese = fullText(198, u("高温防护涂层"));
    QString words;
    while (words.size() + 8 <= 198)
        words += "coating ";
    words = words.trimmed();
    // The column holds 200 bytes: one keyword of 198, or three of 64.
    const QList<QStringList> keywordSets = {
        {chinese, QString(), QString()},
        {words, QString(), QString()},
        {chinese.left(32), chinese.mid(32, 32), chinese.mid(64, 32)},
    };
    PrintReports p;
    for (const auto &[key, category, cls] : {std::tuple{kKey, "1", RC::TyyPrint03}, {"2006000002", "3", RC::TrjPrint03}}) {
        addRecord(key, category, u("纳米复合涂层"));
        for (const QStringList &keywords : keywordSets) {
            setFields(key, {{"ITEM_14", QStringList(keywords).join(';')}});
            selectRecord(key);
            const QVector<Page> pages = p.PrepareReport(cls).run();
            for (int i = 0; i < 3; ++i) {
                const PageItem *item = pages[0].item(QString("item_14_%1").arg(i + 1));
                QVERIFY(item);
                // Nothing lost to the wrap but the blanks where lines break.
                QCOMPARE(item->lines.join(QString()).remove(' '), QString(keywords[i]).remove(' '));
                QVERIFY2(item->lines.size() * item->lineHeight <= item->textRect().height() + kEps,
                         qPrintable(QString("%1 %2: %3 lines").arg(ReportClassName(cls), item->name).arg(item->lines.size())));
            }
            QCOMPARE(faultsOf(pages[0]), QStringList());
        }
    }
}

QTEST_MAIN(TestReportFamilies)
#include "tst_reportfamilies.moc"
