#include "core/IntegerText.h"

#include <QtTest>

class TestIntegerText : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

namespace {
constexpr qint32 Fallback = -77;
}

void TestIntegerText::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("decimal") << "42" << 42;
    QTest::newRow("plus sign") << "+42" << 42;
    QTest::newRow("two leading spaces") << "  42" << 42;
    QTest::newRow("0x lower") << "0x2A" << 42;
    QTest::newRow("0X mixed case digits") << "0X2a" << 42;
    QTest::newRow("dollar") << "$2a" << 42;
    QTest::newRow("leading spaces before dollar") << "  $2A" << 42;
    QTest::newRow("minus") << "-42" << -42;
    QTest::newRow("decimal leading zeros") << "0042" << 42;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("0x0") << "0x0" << 0;
    QTest::newRow("hex all ones is -1") << "$FFFFFFFF" << -1;
    QTest::newRow("0x top bit") << "0x80000008" << qint32(0x80000008u);
    QTest::newRow("hex leading zeros do not count") << "$00000000FF" << 255;
    QTest::newRow("lowest decimal") << "-2147483648" << qint32(-2147483647 - 1);
    QTest::newRow("highest decimal") << "2147483647" << 2147483647;
    QTest::newRow("plus highest") << "+2147483647" << 2147483647;

    QTest::newRow("trailing space") << "42 " << Fallback;
    QTest::newRow("inner space") << "4 2" << Fallback;
    QTest::newRow("sign before dollar") << "-$2A" << Fallback;
    QTest::newRow("plus before dollar") << "+$2A" << Fallback;
    QTest::newRow("0x alone") << "0x" << Fallback;
    QTest::newRow("0X alone") << "0X" << Fallback;
    QTest::newRow("dollar alone") << "$" << Fallback;
    QTest::newRow("above highest") << "2147483648" << Fallback;
    QTest::newRow("below lowest") << "-2147483649" << Fallback;
    QTest::newRow("hex beyond 32 bits") << "$100000000" << Fallback;
    QTest::newRow("very long decimal") << "99999999999999999999999" << Fallback;
    QTest::newRow("empty") << "" << Fallback;
    QTest::newRow("all blank") << "   " << Fallback;
    QTest::newRow("x without zero") << "x2A" << Fallback;
    QTest::newRow("double minus") << "--1" << Fallback;
    QTest::newRow("sign alone") << "+" << Fallback;
    QTest::newRow("minus alone") << "-" << Fallback;
    QTest::newRow("space before 0x") << " 0x2A" << Fallback;
    QTest::newRow("minus before 0x") << "-0x2A" << Fallback;
    QTest::newRow("space between sign and digits") << "- 1" << Fallback;
    QTest::newRow("tab is not blank") << "\t42" << Fallback;
    QTest::newRow("not a hex digit") << "$2G" << Fallback;
    QTest::newRow("word") << "yes" << Fallback;
    QTest::newRow("decimal with hex digits") << "2A" << Fallback;
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("\xd9\xa4\xd9\xa2") << Fallback;
    QTest::newRow("fullwidth digits") << QString::fromUtf8("\xef\xbc\x94\xef\xbc\x92") << Fallback;
}

void TestIntegerText::parse()
{
    QFETCH(QString, text);
    QFETCH(qint32, expected);

    QCOMPARE(parseInteger(text, Fallback), expected);
    // The optional form agrees: empty exactly when the default was taken.
    const std::optional<qint32> value = textToInteger(text);
    QCOMPARE(value.has_value(), expected != Fallback);
    if (value)
        QCOMPARE(*value, expected);
}

QTEST_APPLESS_MAIN(TestIntegerText)
#include "tst_integertext.moc"
