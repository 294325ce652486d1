#pragma once
// What the Word export tests share: child rows made straight into their
// tables, and what each bookmark of a written document received, read back
// against its template.
#include "UnitDM.h"
#include "word/Document.h"

#include <QMap>
#include <QtTest>
#include <functional>

namespace wordfills {

using Fields = QList<std::pair<QString, QString>>;
using Texts = QMap<QString, QString>;

inline void addRows(const QString &key, const char *table, int n, const std::function<Fields(int)> &row)
{
    db::Table t;
    t.setDatabaseName(DataDir);
    t.setTableName(table);
    t.open();
    for (int i = 1; i <= n; ++i) {
        t.append();
        t.fieldByName("ITEM_4")->setAsString(key);
        t.fieldByName("ITEM_DQDM")->setAsString(".");
        for (const auto &[field, value] : row(i))
            t.fieldByName(field)->setAsString(value);
        t.post();
    }
}

// The record's completing persons, cooperating units, patents and committee
// members, each row numbered in its texts.
inline void addChildRows(const QString &key, int persons, int units, int patents, int committee)
{
    using namespace Qt::StringLiterals;
    addRows(key, "cgwcr", persons, [](int i) {
        return Fields{{"ITEM_187", QString::number(i)}, {"ITEM_180", u"完成人%1"_s.arg(i)}, {"ITEM_181", "1"},
                      {"ITEM_182", "1970.05"}, {"ITEM_183", "3"}, {"ITEM_184", "2"}, {"ITEM_188", "1"},
                      {"ITEM_185", u"研究所"_s}, {"ITEM_186", u"总体设计"_s}};
    });
    addRows(key, "cgwcdw", units, [](int i) {
        return Fields{{"ITEM_176", QString::number(i)}, {"ITEM_170", u"合作单位%1"_s.arg(i)}, {"ITEM_171", u"地址%1"_s.arg(i)},
                      {"ITEM_172", "100080"}, {"ITEM_173", u"联系人%1"_s.arg(i)}, {"ITEM_174", u"不写"_s}};
    });
    addRows(key, "zlqk", patents, [](int i) {
        return Fields{{"ITEM_NO", QString::number(i)}, {"PATENT_NO", QString("ZL2005100%1").arg(i)}, {"PATENT_NAM", u"专利%1"_s.arg(i)}};
    });
    addRows(key, "jdwyhmd", committee, [](int i) {
        return Fields{{"ITEM_190", QString::number(i)}, {"ITEM_191", u"委员"_s}, {"ITEM_192", u"专家%1"_s.arg(i)},
                      {"ITEM_193", "0"}, {"ITEM_194", "3"}, {"ITEM_195", u"大学"_s}, {"ITEM_196", u"电机"_s},
                      {"ITEM_197", u"控制"_s}, {"ITEM_198", "2"}, {"ITEM_199", u"不写"_s}};
    });
}

// What the export put in after each bookmark of the template: the text
// after it in the document less what the template itself has there.
inline Texts readBack(const QString &documentPath, const QString &templatePath)
{
    const word::Document doc = word::Document::open(documentPath);
    const word::Document tmpl = word::Document::open(templatePath);
    Texts out;
    for (const QString &b : tmpl.bookmarks()) {
        const QString after = doc.textAfter(b), fixed = tmpl.textAfter(b);
        out[b] = after.endsWith(fixed) ? after.chopped(fixed.size()) : QStringLiteral("<template text lost>");
    }
    return out;
}

// Every bookmark holds what it should, and one that should hold nothing is empty.
inline void compareFills(const Texts &got, const Texts &want, const QString &what)
{
    for (auto it = want.cbegin(); it != want.cend(); ++it)
        QVERIFY2(got.contains(it.key()), qPrintable(what + ": no bookmark " + it.key()));
    for (auto it = got.cbegin(); it != got.cend(); ++it)
        QVERIFY2(it.value() == want.value(it.key()),
                 qPrintable(what + " " + it.key() + ": \"" + it.value() + "\" instead of \"" + want.value(it.key()) + "\""));
}

} // namespace wordfills
