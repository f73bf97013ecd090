// Find and Find again in the real program on a private X display, driven with xdotool:
// what the keys select is checked by typing over it and saving.

#include "storage/NoteFile.h"
#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QTest>

class TestEndToEndFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (const QString error = m_x.start(); !error.isEmpty())
            QFAIL(qPrintable(error));
    }
    void findThenFindAgainUntilNotFound();

private:
    // Into the given window: a window the manager has mapped is not always the focused one yet.
    void type(const QString &window, const QString &text)
    {
        m_x.xdotool({u"windowactivate"_qs, u"--sync"_qs, window});
        m_x.xdotool({u"type"_qs, text});
    }
    // Frame and all, give or take the few pixels by which the manager's frames differ.
    void verifyCentred(const QString &window)
    {
        QRect outer;
        QTRY_VERIFY_WITH_TIMEOUT(!(outer = m_x.outerGeometry(window)).isNull(), ProgramUnderTest::WaitMs);
        const QPoint offset = outer.center() - QRect(QPoint(), XSession::ScreenSize).center();
        QVERIFY2(qAbs(offset.x()) <= 3 && qAbs(offset.y()) <= 3,
                 qPrintable(u"%1 pixels off centre across, %2 down"_qs.arg(offset.x()).arg(offset.y())));
    }
    XSession m_x;
};

void TestEndToEndFind::findThenFindAgainUntilNotFound()
{
    ProgramUnderTest run(m_x);
    QVERIFY(run.isValid());
    NoteFile(run.notesPath()).save({{u"Memo"_qs, u"The quick brown fox.\r\nAnother fox here.\r\nFox three."_qs}});
    QVERIFY(run.start());
    const QString window = run.waitForWindow(u"^Pinnote$"_qs);
    QVERIFY2(!window.isEmpty(), run.describeMissingWindow("the main window"));

    // Tab moves the focus from the tab strip to the editor, caret at the start.
    run.key(window, u"Tab"_qs);
    run.key(window, u"ctrl+f"_qs);
    const QString dialog = run.waitForWindow(u"^Find Text$"_qs);
    QVERIFY2(!dialog.isEmpty(), run.describeMissingWindow("the Find Text dialog"));
    verifyCentred(dialog);
    type(dialog, u"fox"_qs);
    run.key(dialog, u"Return"_qs);
    QVERIFY(run.waitForNoWindow(u"^Find Text$"_qs));

    // F3 selects the second line's "fox", typed over; then the third line's "Fox", then "Not found".
    const QStringList before = m_x.findWindows(u"^Pinnote$"_qs);
    run.key(window, u"F3"_qs);
    type(window, u"cat"_qs);
    run.key(window, u"F3"_qs);
    run.key(window, u"F3"_qs);
    QStringList message;
    QTRY_VERIFY_WITH_TIMEOUT((message = m_x.findWindows(u"^Pinnote$"_qs), message.size() > before.size()),
                             ProgramUnderTest::WaitMs);
    for (const QString &id : before)
        message.removeAll(id);
    QCOMPARE(message.size(), 1);
    verifyCentred(message.first());
    if (const QString shot = ProgramUnderTest::screenshotPath(u"find-not-found.png"_qs); !shot.isEmpty())
        m_x.screenshot(shot);
    run.key(message.first(), u"Return"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(!m_x.findWindows(u"^Pinnote$"_qs).contains(message.first()), ProgramUnderTest::WaitMs);

    // The third line's "Fox" is still selected after the message.
    type(window, u"Dog"_qs);
    run.key(window, u"ctrl+s"_qs);
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
