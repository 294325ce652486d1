#include "WordOutput.h"

#include "RecordRoutines.h"
#include "ReportRoutines.h"
#include "UnitDM.h"
#include "WordText.h"
#include "db/file/DbfFile.h"
#include "text/Gbk.h"
#include "ui/MessageBox.h"
#include "word/Application.h"
#include "word/WordError.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <memory>
#include <optional>

namespace {

const QString kCaption = QStringLiteral("提示");

struct PlannedFill
{
    QString bookmark;
    QString text;
};

// Everything one document will receive, worked out before any is made.
struct Plan
{
    QString templatePath;
    QList<PlannedFill> fills;
};

// A classification table the record's codes need but the data folder lacks.
struct MissingTable
{
    QString message;
};

db::Table *classification(db::Table *table, const char *file, const char *what)
{
    if (db::DbfFile::findFile(DataDir, QString::fromLatin1(file)).isEmpty())
        throw MissingTable{QString::fromUtf8("数据目录中没有%1表 %2，无法写出%1名称。")
                               .arg(QString::fromUtf8(what), QString::fromLatin1(file))};
    // Opened at start-up only when it was there then.
    if (table->databaseName().isEmpty())
        table->setDatabaseName(DataDir);
    return table;
}

QString classificationName(db::Table *table, const char *file, const char *what, const QString &code)
{
    if (code.isEmpty())
        return {};
    return LookupCodeName(classification(table, file, what), QStringLiteral("xxdm"), QStringLiteral("xxmc"), code);
}

// The text a bookmark receives; nothing when it gets no fill at all.
std::optional<QString> fillText(const WordFill &f)
{
    const QString field = QString::fromLatin1(f.field ? f.field : f.bookmark);
    const QString code = f.code ? QString::fromLatin1(f.code) : field.toLower();
    const auto value = [&] { return RecordText(field); };
    switch (f.text) {
    case WordText::Text:
        return value();
    case WordText::Option:
        return CodeText(DM->Tblzdxx, code, value());
    case WordText::Pair:
        return CodePairText(DM->Tblzdxx, code, value());
    case WordText::Discipline:
        return classificationName(DM->Txkfl2, "xkfl.dbf", "学科分类", value());
    case WordText::LibraryClass:
        return classificationName(DM->Tztflh2, "ztflh.dbf", "中图分类", value());
    case WordText::Province:
        return LookupName(DM->tblProvince, QStringLiteral("Province_i"), QStringLiteral("Province_n"), value());
    case WordText::Ministry:
        return LookupName(DM->tblLsbw, QStringLiteral("Bwdm"), QStringLiteral("Bwmc"), value());
    case WordText::Keyword1:
    case WordText::Keyword2:
    case WordText::Keyword3:
        return SplitThree(value())[size_t(int(f.text) - int(WordText::Keyword1))];
    case WordText::PeriodStart:
        return SplitPeriodText(value()).first;
    case WordText::PeriodEnd:
        return SplitPeriodText(value()).second;
    case WordText::DateYear:
    case WordText::DateMonth:
    case WordText::DateDay:
        return SplitDateText(value())[size_t(int(f.text) - int(WordText::DateYear))];
    case WordText::ProjectSource:
        return ProjectSourceText();
    case WordText::UnitAttribute:
        return UnitAttributeText();
    case WordText::Reason:
        return ReasonText();
    case WordText::Conversion:
        return ConversionNote();
    case WordText::RegistrationDate:
        return RegistrationDateText();
    case WordText::SecrecyMark:
        return SecrecyMark().first;
    case WordText::SecrecyLevel:
        return SecrecyMark().second;
    case WordText::EvaluationForm:
        // The categories have lists of their own: 评审 and 结题 are no
        // applied-technology forms, and 4 and 6 mean nothing there.
        return CodeText(DM->Tblzdxx,
                        gbk::trim(RecordText(QStringLiteral("item_cglb"))) == QLatin1String("1") ? QStringLiteral("item_21")
                                                                                                : QStringLiteral("item_21_l"),
                        value());
    case WordText::Rows:
        break;
    }
    return std::nullopt;
}

// The child rows of the record, as far as the document has room for them.
void planRows(const WordRowList &list, QList<PlannedFill> &fills, QStringList &leftOut)
{
    db::Table *table = DM->*list.table;
    openFiltered(table, keyFilter(RecordText(QStringLiteral("item_4")), RecordText(QStringLiteral("item_dqdm"))));
    const int total = table->recordCount();
    const int rows = std::min(total, list.cap);
    table->first();
    for (int i = 1; i <= rows; ++i, table->next())
        for (const WordRowColumn &c : list.columns)
            fills.append({QString::fromLatin1(c.prefix) + QString::number(i),
                          table->fieldByName(QString::fromLatin1(c.field))->asString()});
    if (total > list.cap)
        leftOut << QString::fromUtf8("“%1”只能写入%2%3，本成果有%4%3，其余%5%3没有写入。")
                       .arg(QString::fromUtf8(list.title))
                       .arg(list.cap)
                       .arg(QString::fromUtf8(list.unit))
                       .arg(total)
                       .arg(total - list.cap);
}

Plan planDocument(const WordDocumentFills &document, const QString &templatePath, QStringList &leftOut)
{
    Plan plan{templatePath, {}};
    for (const WordFill &f : document.fills) {
        if (f.text == WordText::Rows) {
            planRows(*f.rows, plan.fills, leftOut);
            continue;
        }
        const std::optional<QString> text = fillText(f);
        if (text)
            plan.fills.append({QString::fromLatin1(f.bookmark), f.returnBelow > 0 ? WithTrailingReturn(*text, f.returnBelow) : *text});
    }
    return plan;
}

// The bookmarks a plan fills that the document lacks, each once.
QStringList missingBookmarks(const Plan &plan, const word::Document &document)
{
    QStringList missing;
    for (const PlannedFill &f : plan.fills)
        if (!document.hasBookmark(f.bookmark) && !missing.contains(f.bookmark))
            missing << f.bookmark;
    return missing;
}

QString listed(const QStringList &names)
{
    constexpr int kShown = 10;
    QString text = names.mid(0, kShown).join(QStringLiteral("、"));
    if (names.size() > kShown)
        text += QString::fromUtf8(" 等%1个").arg(names.size());
    return text;
}

} // namespace

QString WordTemplatePath(const QString &templateName)
{
    return db::DbfFile::findFile(DataDir, templateName);
}

void ExportToWord(const std::vector<WordDocumentFills> &documents)
{
    if (ui::messageBox(QStringLiteral("您确定输出word文档吗？\r\n"), kCaption, ui::MB_OKCANCEL | ui::MB_ICONQUESTION)
        != ui::IDOK)
        return;

    // Everything that can fail is looked at before a document is shown, so
    // the user never gets a half-filled one.
    QStringList paths;
    for (const WordDocumentFills &document : documents) {
        const QString path = WordTemplatePath(document.templateName);
        if (path.isEmpty()) {
            ui::showError(QStringLiteral("您的电脑上没有相应的报表\r\n")
                          + QDir::toNativeSeparators(QDir(DataDir).filePath(document.templateName)));
            return;
        }
        paths << path;
    }

    std::vector<Plan> plans;
    QStringList leftOut;
    try {
        for (size_t i = 0; i < documents.size(); ++i)
            plans.push_back(planDocument(documents[i], paths[int(i)], leftOut));
    } catch (const MissingTable &e) {
        ui::showError(e.message);
        return;
    }

    std::vector<std::unique_ptr<word::Application>> instances;
    try {
        for (const Plan &plan : plans) {
            auto app = std::make_unique<word::Application>();
            app->setVisible(true);
            word::Document &document = app->addDocument(plan.templatePath);
            const QStringList missing = missingBookmarks(plan, document);
            if (!missing.isEmpty()) {
                ui::showError(QString::fromUtf8("模板 %1 中没有书签 %2，无法输出Word文档。")
                                  .arg(QDir::toNativeSeparators(plan.templatePath), listed(missing)));
                return;
            }
            for (const PlannedFill &f : plan.fills)
                document.insertAfter(f.bookmark, f.text);
            instances.push_back(std::move(app));
        }
        // The cover and the body as one: both in place, or neither.
        std::vector<word::Application *> shownTogether;
        for (const auto &app : instances)
            shownTogether.push_back(app.get());
        // The user looks for what did not open: the folder on a line of its
        // own, then the files' names.
        QString folder;
        QStringList unopened;
        for (const word::Application::Shown &s : word::showDocuments(shownTogether))
            if (!s.opened) {
                folder = QFileInfo(s.path).absolutePath();
                unopened << QFileInfo(s.path).fileName();
            }
        if (!unopened.isEmpty())
            ui::messageBox(QString::fromUtf8("Word文档已保存，但无法用本机的文字处理程序打开：\r\n文件夹：%1\r\n文件：%2")
                               .arg(QDir::toNativeSeparators(folder), unopened.join(QStringLiteral("\r\n　　　"))),
                           kCaption, ui::MB_OK | ui::MB_ICONWARNING);
    } catch (const word::WordError &e) {
        ui::showError(e.message());
        return;
    }

    if (!leftOut.isEmpty())
        ui::messageBox(leftOut.join(QStringLiteral("\r\n")), kCaption, ui::MB_OK | ui::MB_ICONINFORMATION);
}
