#include "text/Gbk.h"
#include "text/GbkInput.h"
#include "text/LineBreaks.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestGbk : public QObject
{
    Q_OBJECT

private slots:
    void encodeDecode();
    void cutNeverSplitsACharacter();
    void trim();
    void byteLimitValidator();
    void memosKeepOnlyGbk();
    void lineBreaks();
};

void TestGbk::encodeDecode()
{
    // Every double-byte character decodes as the converter decodes it, also
    // amid ASCII and after a lead byte without its trail.
    QStringDecoder reference("GBK");
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const QByteArray text = QByteArray("a") + char(lead) + char(trail) + "b";
            reference.resetState();
            QCOMPARE(gbk::decode(text), reference.decode(text));
        }
    reference.resetState();
    QCOMPARE(gbk::decode(QByteArray("x\xb0")), reference.decode(QByteArray("x\xb0")));
    // Fixed bytes, so a wrong code page cannot pass by decoding its own output.
    QCOMPARE(gbk::encode(u"中文abc"_s), QByteArray("\xD6\xD0\xCE\xC4" "abc"));
    QCOMPARE(gbk::decode(QByteArray("\xBF\xC6\xBC\xBC\xB3\xC9\xB9\xFB")), u"科技成果"_s);

    const QString mixed = u"登记表（2024年）No.1 ￥€"_s;
    QCOMPARE(gbk::decode(gbk::encode(mixed)), mixed);
    QCOMPARE(gbk::byteLength(mixed), 24); // the euro takes one byte in code page 936

    QVERIFY(gbk::encodable(mixed));
    QVERIFY(!gbk::encodable(u"中한"_s)); // Hangul syllables are not in GBK
    QVERIFY(!gbk::encodable(u"ok😀"_s));
}

void TestGbk::cutNeverSplitsACharacter()
{
    const QByteArray b = gbk::encode(u"a中文bc科技"_s); // 1+2+2+1+1+2+2 = 11 bytes
    QCOMPARE(gbk::cutToBytes(u"a中文bc科技"_s, 5), u"a中文"_s); // exactly at a boundary
    QCOMPARE(gbk::cutToBytes(u"a中文bc科技"_s, 4), u"a中"_s);   // one byte short
    QCOMPARE(gbk::safeCut(b, -3), 0);
    QCOMPARE(gbk::safeCut(b, 100), 11);

    // Every cut: a prefix, no half character, and nothing more given up than
    // the one byte of a character that would not fit.
    for (qsizetype n = 0; n <= b.size(); ++n) {
        const QByteArray cut = gbk::cutBytes(b, n);
        QVERIFY2(cut.size() <= n && cut.size() >= n - 1, qPrintable(QString::number(n)));
        QVERIFY(b.startsWith(cut));
        QVERIFY(!gbk::decode(cut).contains(QChar::ReplacementCharacter));
        QCOMPARE(gbk::encode(gbk::decode(cut)), cut);
    }

    // Trail bytes look like ASCII or like lead bytes; only a walk from the
    // start tells them apart.
    const QByteArray trails = gbk::encode(u"乙乙@"_s); // D2 D2 D2 D2 40
    QCOMPARE(gbk::safeCut(trails, 3), 2);
    const QByteArray asciiTrail = gbk::encode(u"丂x"_s); // 81 40 'x'
    QCOMPARE(gbk::safeCut(asciiTrail, 1), 0);
    QCOMPARE(gbk::safeCut(asciiTrail, 2), 2);
    QCOMPARE(gbk::safeCut(gbk::encode(u"€中"_s), 2), 1);
}

void TestGbk::trim()
{
    const QString padded = u" \t\r\n中文 成果\x01\x1f  \0"_s;
    QCOMPARE(gbk::trim(padded), u"中文 成果"_s);
    QCOMPARE(gbk::trimLeft(padded), u"中文 成果\x01\x1f  \0"_s);
    QCOMPARE(gbk::trimRight(padded), u" \t\r\n中文 成果"_s);
    QCOMPARE(gbk::trim(u" \t\n "_s), QString());
}

void TestGbk::byteLimitValidator()
{
    gbk::ByteLimitValidator v(6);
    // The text the edit keeps when the cursor stands at pos after the input.
    auto kept = [&v](QString s, int pos = -1) {
        if (pos < 0)
            pos = int(s.size());
        const QValidator::State state = v.validate(s, pos);
        return state == QValidator::Acceptable && pos <= s.size() ? s : QStringLiteral("<refused>");
    };
    QCOMPARE(kept(u"中文ab"_s), u"中文ab"_s); // exactly 6 bytes
    QCOMPARE(kept(u"中文科"_s), u"中文科"_s);
    QCOMPARE(kept(u"中文abc"_s), u"中文ab"_s); // 7 bytes, though only 5 characters: the last goes
    QCOMPARE(kept(u"abcde中"_s), u"abcde"_s); // never half a character
    QCOMPARE(kept(u"한"_s), QString());        // fits in length, not in GBK
    QCOMPARE(kept(u"a😀b"_s), u"ab"_s);
    QCOMPARE(kept(QString()), QString());
    // Pasted into the middle: the pasted text is cut, what stood after the cursor stays.
    QCOMPARE(kept(u"ab中文科技cd"_s, 6), u"ab中cd"_s);

    // Chinese arrives from the input method, one committed character at a
    // time; the edit stops at the byte limit.
    QLineEdit edit;
    edit.setValidator(new gbk::ByteLimitValidator(5, &edit));
    for (QChar c : u"科技成果"_s) {
        QInputMethodEvent commit;
        commit.setCommitString(c);
        QCoreApplication::sendEvent(&edit, &commit);
    }
    QCOMPARE(edit.text(), u"科技"_s);
    QTest::keyClicks(&edit, "ab");
    QCOMPARE(edit.text(), u"科技a"_s);
    // A long paste is cut at the limit, not dropped.
    edit.clear();
    edit.insert(u"成果登记表"_s);
    QCOMPARE(edit.text(), u"成果"_s);
    QCOMPARE(gbk::unencodableCharacters(u"a한b😀한"_s), QStringList({u"한"_s, u"😀"_s}));
}

void TestGbk::memosKeepOnlyGbk()
{
    QPlainTextEdit memo;
    gbk::acceptOnlyGbk(&memo);
    memo.setPlainText(u"第一行\n第二行😀한字"_s);
    QCOMPARE(memo.toPlainText(), u"第一行\n第二行字"_s);
    memo.moveCursor(QTextCursor::End);
    memo.insertPlainText(u"\n한😀"_s); // typed or pasted: the line break stays
    QTest::keyClicks(&memo, "ok");
    QCOMPARE(memo.toPlainText(), u"第一行\n第二行字\nok"_s);
}

void TestGbk::lineBreaks()
{
    QCOMPARE(text::withCrLf(u"a\nb\r\nc\rd\n"_s), u"a\r\nb\r\nc\r\nd\r\n"_s);
    QCOMPARE(text::withLf(u"a\r\nb\rc\nd"_s), u"a\nb\nc\nd"_s);
    QCOMPARE(text::withCrLf(u"一行"_s), u"一行"_s);
}

QTEST_MAIN(TestGbk)
#include "tst_gbk.moc"
