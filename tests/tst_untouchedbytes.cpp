// What the user did not change reaches Pinnote.set with the bytes it was read with:
// pages written on Windows, stray bytes among UTF-8, every kind of line break.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "platform/TabStrip.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QTest>

#include <memory>

namespace {

using PageBytes = QList<std::pair<QByteArray, QByteArray>>;

QByteArray stringValue(const QByteArray &bytes)
{
    QByteArray out;
    if (bytes.size() <= 255) {
        out += char(0x06);
        out += char(quint8(bytes.size()));
    } else {
        out += char(0x0C);
        for (int shift = 0; shift < 32; shift += 8)
            out += char(quint8(quint32(bytes.size()) >> shift));
    }
    return out + bytes;
}

QByteArray noteFileBytes(const PageBytes &pages)
{
    QByteArray out = stringValue("TKW-Pinnote") + QByteArray::fromHex("0201") + QByteArray::fromHex("01");
    for (const auto &[name, text] : pages)
        out += stringValue(name) + stringValue(text);
    return out + QByteArray::fromHex("00");
}

// A name of 4094 bytes, then a two-byte character across the 4095-byte cut.
const QByteArray LongName = QByteArray(4094, 'n') + "\xC3\xA9tail";

const PageBytes Pad = {
    {"Caf\xE9", "na\xEFve \x80 5\r\nline"},
    {"Mixed \xF0\x9F\x98\x80 \xFF", "\xF0\x9F\x98\x80 ok \xFF"},
    {"Breaks", "lone\rCR\nlone LF\r\nCRLF \xE2\x80\xA8 sep"},
    {LongName, "long name"},
    {"UTF-8 \xC3\xA9t\xC3\xA9", "plain \xC2\x81 \x81"},
};

PageBytes padAsSaved()
{
    PageBytes pages = Pad;
    pages[3].first = QByteArray(4094, 'n');
    return pages;
}

} // namespace

class TestUntouchedBytes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void shownPagesAreWrittenBackByteForByte();
    void onlyTheEditedPageChanges_data();
    void onlyTheEditedPageChanges();

private:
    void startForm();
    void clickTab(int index);

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestUntouchedBytes::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes(Pad)));
}

void TestUntouchedBytes::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_env.reset();
}

void TestUntouchedBytes::startForm()
{
    m_form = std::make_unique<TMainForm>();
    QVERIFY(m_form->notesLoaded());
    m_form->createDialogs();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestUntouchedBytes::clickTab(int index)
{
    QTest::mouseClick(m_form->TabControl, Qt::LeftButton, Qt::NoModifier, m_form->TabControl->tabRect(index).center());
    QCOMPARE(m_form->TabControl->currentIndex(), index);
}

void TestUntouchedBytes::shownPagesAreWrittenBackByteForByte()
{
    startForm();
    QCOMPARE(m_form->TabControl->tabText(1), QString::fromUtf16(u"Mixed \U0001F600 \u00ff"));
    for (int i = 1; i < int(Pad.size()); ++i)
        clickTab(i);
    clickTab(0);
    // The editor shows every break as a line of its own, which is no change either.
    clickTab(2);
    QCOMPARE(m_form->Memo->document()->blockCount(), 5);

    QVERIFY(m_form->close());
    QCOMPARE(m_boxes->texts(), QStringList());
    QCOMPARE(m_env->readFile(m_env->notesPath()).toHex(' '), noteFileBytes(padAsSaved()).toHex(' '));
}

void TestUntouchedBytes::onlyTheEditedPageChanges_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("Windows-1252") << 0 << QByteArray("na\xC3\xAFve \xE2\x82\xAC 5\r\nline!");
    QTest::newRow("mixed") << 1 << QByteArray("\xF0\x9F\x98\x80 ok \xC3\xBF!");
    QTest::newRow("breaks") << 2 << QByteArray("lone\r\nCR\r\nlone LF\r\nCRLF \r\n sep!");
    QTest::newRow("long name") << 3 << QByteArray("long name!");
    QTest::newRow("C1 characters") << 4 << QByteArray("plain \xC2\x81 \xC2\x81!");
}

void TestUntouchedBytes::onlyTheEditedPageChanges()
{
    QFETCH(int, page);
    QFETCH(QByteArray, saved);
    startForm();
    clickTab(page);
    m_form->Memo->setFocus();
    m_form->Memo->moveCursor(QTextCursor::End);
    QTest::keyClick(m_form->Memo, '!');
    // Away and back: the edit is kept while another page is on show.
    clickTab((page + 1) % int(Pad.size()));
    clickTab(page);
    QTest::keyClick(m_form->Memo, Qt::Key_S, Qt::ControlModifier);

    QCOMPARE(m_boxes->texts(), QStringList());
    PageBytes expected = padAsSaved();
    expected[page].second = saved;
    QCOMPARE(m_env->readFile(m_env->notesPath()).toHex(' '), noteFileBytes(expected).toHex(' '));

    // A second save after the first writes the same bytes.
    clickTab((page + 1) % int(Pad.size()));
    m_form->FileSaveMenuItem->trigger();
    QCOMPARE(m_env->readFile(m_env->notesPath()).toHex(' '), noteFileBytes(expected).toHex(' '));
}

QTEST_MAIN(TestUntouchedBytes)
#include "tst_untouchedbytes.moc"
