// Find and Find again in the real program on a private X display, driven with xdotool:
// what the keys select is checked by typing over it and saving.

#include "storage/NoteFile.h"
#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QTest>

#include <memory>

class TestEndToEndFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void findThenFindAgainUntilNotFound();

private:
    XSession m_x;
};

void TestEndToEndFind::initTestCase()
{
    const QString error = m_x.start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEndFind::findThenFindAgainUntilNotFound()
{
    ProgramUnderTest run(m_x);
    QVERIFY(run.isValid());
    NoteFile(run.notesPath()).save({{u"Memo"_qs, u"The quick brown fox.\r\nAnother fox here.\r\nFox three."_qs}});
    QVERIFY(run.start());
    const QString window = run.waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), run.describeMissingWindow("the main window"));

    // The tab strip has the focus first; Tab moves it to the editor, caret at the start.
    run.key(window, QStringLiteral("Tab"));
    run.key(window, QStringLiteral("ctrl+f"));
    const QString dialog = run.waitForWindow(QStringLiteral("^Find Text$"));
    QVERIFY2(!dialog.isEmpty(), run.describeMissingWindow("the Find Text dialog"));
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("fox")});
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QVERIFY(run.waitForNoWindow(QStringLiteral("^Find Text$")));

    // Find again moves on to the second line's match; typing replaces it.
    const QStringList before = m_x.findWindows(QStringLiteral("^Pinnote$"));
    run.key(window, QStringLiteral("F3"));
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("cat")});
    // Then the third line's "Fox", then nothing more.
    run.key(window, QStringLiteral("F3"));
    run.key(window, QStringLiteral("F3"));
    QStringList message;
    QTRY_VERIFY_WITH_TIMEOUT((message = m_x.findWindows(QStringLiteral("^Pinnote$")), message.size() > before.size()),
                             ProgramUnderTest::WaitMs);
    for (const QString &id : before)
        message.removeAll(id);
    QCOMPARE(message.size(), 1);
    if (const QString shot = ProgramUnderTest::screenshotPath(QStringLiteral("find-not-found.png")); !shot.isEmpty())
        m_x.screenshot(shot);
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(!m_x.findWindows(QStringLiteral("^Pinnote$")).contains(message.first()),
                             ProgramUnderTest::WaitMs);

    // The "Fox" of the third line is still selected after the message: typing replaces it.
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("Dog")});
    run.key(window, QStringLiteral("ctrl+s"));
    const auto savedText = [&run] {
        try {
            const auto pages = NoteFile(run.notesPath()).load();
            return pages && !pages->isEmpty() ? pages->first().text : QString();
        } catch (...) {
            return QString(); // caught mid-save
        }
    };
    QTRY_COMPARE_WITH_TIMEOUT(savedText(), u"The quick brown fox.\r\nAnother cat here.\r\nDog three."_qs,
                              ProgramUnderTest::WaitMs);
}

QTEST_MAIN(TestEndToEndFind)
#include "tst_e2e_find.moc"
