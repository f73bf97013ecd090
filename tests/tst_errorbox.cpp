// The error box: its full-stop rule and how it is shown.

#include "widgets/ErrorBox.h"
#include "core/Exceptions.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QTest>

class TestErrorBox : public QObject
{
    Q_OBJECT

private slots:
    void fullStopRule_data();
    void fullStopRule();
    void escapedExceptionIsShownAndProgramGoesOn_data();
    void escapedExceptionIsShownAndProgramGoesOn();
    void exceptionTexts_data();
    void exceptionTexts();
};

void TestErrorBox::fullStopRule_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ends in a letter") << "Failed to create key Settings" << "Failed to create key Settings.";
    QTest::newRow("ends in a quote") << "Invalid data type for 'OnTop'" << "Invalid data type for 'OnTop'";
    QTest::newRow("ends in a full stop") << "Stream read error." << "Stream read error.";
    QTest::newRow("ends in a digit") << "Error 5" << "Error 5.";
    QTest::newRow("ends in a slash") << "Cannot open file /tmp/" << "Cannot open file /tmp/.";
    QTest::newRow("ends in a comma") << "a," << "a,";
    QTest::newRow("ends in a hyphen") << "a-" << "a-";
    QTest::newRow("ends in an exclamation mark") << "Oops!" << "Oops!";
    QTest::newRow("ends in a space") << "trailing " << "trailing ";
    QTest::newRow("ends in a non-ASCII letter") << QStringLiteral("Datei geöffnet: ä") << QStringLiteral("Datei geöffnet: ä.");
    QTest::newRow("empty") << "" << "";
}

void TestErrorBox::fullStopRule()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorBox::displayText(message), shown);
}

void TestErrorBox::escapedExceptionIsShownAndProgramGoesOn_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("registry") << 0 << "Failed to set data for 'XPos'";
    QTest::newRow("open") << 1 << "Cannot open file /x/y.txt.";
    QTest::newRow("standard exception") << 2 << "bad thing.";
}

void TestErrorBox::escapedExceptionIsShownAndProgramGoesOn()
{
    QFETCH(int, kind);
    QFETCH(QString, shown);
    QCoreApplication::setApplicationName(QStringLiteral("Pinnote"));

    MessageBoxRecorder boxes;
    bool after = false;
    ErrorBox::guard(nullptr, [kind] {
        switch (kind) {
        case 0: throw ERegistryException(QStringLiteral("Failed to set data for 'XPos'"));
        case 1: throw EFOpenError(QStringLiteral("/x/y.txt"));
        default: throw std::runtime_error("bad thing");
        }
    });
    after = true;

    QVERIFY(after);
    QCOMPARE(boxes.requests().size(), 1);
    QCOMPARE(boxes.requests().constFirst().text, shown);
    QCOMPARE(boxes.requests().constFirst().caption, QStringLiteral("Pinnote"));
    QCOMPARE(boxes.requests().constFirst().icon, MessageBox::Icon::Error);
}

void TestErrorBox::exceptionTexts_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    QTest::newRow("open") << EFOpenError(QStringLiteral("Pinnote.set")).message() << "Cannot open file Pinnote.set";
    QTest::newRow("create") << EFCreateError(QStringLiteral("/a b/c")).message() << "Cannot create file /a b/c";
    QTest::newRow("percent in name kept")
        << EFOpenError(QStringLiteral("100%1.txt")).message() << "Cannot open file 100%1.txt";
}

void TestErrorBox::exceptionTexts()
{
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QCOMPARE(message, expected);
}

QTEST_GUILESS_MAIN(TestErrorBox)
#include "tst_errorbox.moc"
