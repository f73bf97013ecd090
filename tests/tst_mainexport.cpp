// Export through the main window: text bytes, the shared dialog's name, Rich Text read
// back by unrtf, and failures that leave an earlier file alone.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "support/RequiredPrograms.h"
#include "support/TestBytes.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <memory>

namespace {

using Answer = std::function<void(QFileDialog *)>;

void whenDialogOpens(Answer answer)
{
    QTimer::singleShot(0, qApp, [answer]() mutable {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            answer(dialog);
        else
            whenDialogOpens(std::move(answer));
    });
}

// Runs the command; answer acts on its dialog once it is open.
void exportWith(QAction *command, Answer answer)
{
    whenDialogOpens(std::move(answer));
    command->trigger();
}

QLineEdit *nameField(QFileDialog *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// Types the full name into the dialog's name field, as a user would, and presses Save.
Answer saveAs(const QString &name)
{
    return [name](QFileDialog *dialog) {
        nameField(dialog)->setText(name);
        static_cast<QDialog *>(dialog)->accept(); // protected in QFileDialog
    };
}

QStringList entriesOf(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestMainExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup() { m_form.reset(); m_boxes.reset(); m_env.reset(); }

    void textBytesAreTheWholeText_data();
    void textBytesAreTheWholeText();
    void nameCarriesOverAndCancelWritesNothing();
    void rtfReadBackByUnrtf();
    void failureKeepsTheEarlierFile_data();
    void failureKeepsTheEarlierFile();

private:
    QString path(const QString &name) const { return m_env->filePath(name); }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainExport::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
    // Editor font: DejaVu Serif, 14 pt, red (0x0000FF as the settings hold colours).
    QVERIFY(m_env->writeSettings("[Font]\nName=DejaVu Serif\nSize=14\nColor=255\n"));
    m_form = startMainForm();
    QVERIFY(m_form);
}

void TestMainExport::textBytesAreTheWholeText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("earlier"); // a file already there, or none
    QTest::newRow("empty page") << QByteArray() << QByteArray();
    QTest::newRow("three lines, no final break") << QByteArray("one\r\ntwo\r\nthree") << QByteArray();
    QTest::newRow("non-ASCII as UTF-8, no byte-order mark")
        << QByteArray("Gr\xC3\xBC\xC3\x9F" "e\r\n\xE2\x9C\x93 \xF0\x9F\x98\x80\t\xC2\xA0!") << QByteArray();
    QTest::newRow("earlier file replaced without a question") << QByteArray("new\r\n") << QByteArray(5000, 'z');
}

void TestMainExport::textBytesAreTheWholeText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, earlier);
    if (!earlier.isEmpty())
        QVERIFY(m_env->writeFile(path(QStringLiteral("page.txt")), earlier));
    m_form->Memo->setText(QString::fromUtf8(bytes));
    m_form->Memo->setSelection(1, 3); // a selection has no influence
    exportWith(m_form->ExportTextMenuItem, saveAs(path(QStringLiteral("page.txt"))));
    QCOMPARE(readAll(path(QStringLiteral("page.txt"))), bytes);
    QVERIFY(m_boxes->requests().isEmpty());
}

void TestMainExport::nameCarriesOverAndCancelWritesNothing()
{
    m_form->Memo->setText(QStringLiteral("shared name"));
    const QString notes = path(QStringLiteral("notes.txt"));
    exportWith(m_form->ExportTextMenuItem, saveAs(notes));
    const QStringList written = entriesOf(m_env->path());
    // The RTF dialog starts with notes.txt; first the user types another name and
    // cancels, which writes nothing and keeps the name, then accepts it.
    for (const bool cancel : {true, false}) {
        QString offered;
        exportWith(m_form->ExportRTFMenuTiem, [&](QFileDialog *dialog) {
            offered = dialog->directory().absoluteFilePath(nameField(dialog)->text());
            if (cancel)
                nameField(dialog)->setText(QStringLiteral("other")), dialog->reject();
            else
                static_cast<QDialog *>(dialog)->accept();
        });
        QCOMPARE(offered, notes);
        QCOMPARE(entriesOf(m_env->path()), written);
        QVERIFY(cancel ? readAll(notes) == "shared name" : readAll(notes).startsWith("{\\rtf1"));
    }
    QVERIFY(readAll(notes).contains("shared name}"));
}

void TestMainExport::rtfReadBackByUnrtf()
{
    PINNOTE_REQUIRE_PROGRAMS({"unrtf", "unrtf"});
    const QString typed = QString::fromUtf8("Typed na\xC3\xAFve caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 {a\\b} end");
    m_form->Memo->setText(typed + QStringLiteral("\r\n"));
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b>Bold</b> <i>Italic</i> <u>Under</u> <span style=\"color:#008000\">Green</span> "
                                 "<span style=\"font-family:'DejaVu Sans Mono'\">Mono</span>"));
    mime->setText(QStringLiteral("Bold Italic Under Green Mono"));
    QGuiApplication::clipboard()->setMimeData(mime);
    m_form->Memo->moveCursor(QTextCursor::End);
    m_form->EditPasteMenuItem->trigger();

    exportWith(m_form->ExportRTFMenuTiem, saveAs(path(QStringLiteral("page"))));
    const QByteArray rtf = readAll(path(QStringLiteral("page.rtf")));
    QVERIFY(std::all_of(rtf.cbegin(), rtf.cend(), [](char c) { return uchar(c) < 0x80; }));

    QProcess reader;
    reader.start(QStringLiteral("unrtf"), {QStringLiteral("--html"), path(QStringLiteral("page.rtf"))});
    QVERIFY(reader.waitForFinished());
    QCOMPARE(reader.exitCode(), 0);
    QTextDocument read;
    read.setHtml(QString::fromUtf8(reader.readAllStandardOutput()));
    const auto formatOf = [&read](const char *word) {
        const QTextCursor found = read.find(QString::fromLatin1(word));
        return found.isNull() ? QTextCharFormat() : found.charFormat();
    };
    QVERIFY2(read.toPlainText().contains(typed), qPrintable(read.toPlainText()));
    QCOMPARE(formatOf("Typed").fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Serif"));
    QCOMPARE(formatOf("Typed").foreground().color(), QColor(Qt::red));
    QCOMPARE(formatOf("Typed").fontWeight(), int(QFont::Normal));
    QCOMPARE(formatOf("Bold").fontWeight(), int(QFont::Bold));
    QVERIFY(formatOf("Italic").fontItalic() && !formatOf("Bold").fontItalic());
    QVERIFY(formatOf("Under").fontUnderline());
    QCOMPARE(formatOf("Green").foreground().color(), QColor(0x00, 0x80, 0x00));
    QCOMPARE(formatOf("Mono").fontFamilies().toStringList().value(0), QStringLiteral("DejaVu Sans Mono"));
}

void TestMainExport::failureKeepsTheEarlierFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rtf");
    QTest::addColumn<QString>("message"); // empty: "Cannot create file" with the full name
    QTest::newRow("folder in the file's place") << "taken.txt" << false << "";
    QTest::newRow("path below a regular file") << "earlier.txt/below.txt" << false << "";
    QTest::newRow("text, write cut short") << "earlier.txt" << false << "Failed to Save Stream.";
    QTest::newRow("rtf, write cut short") << "earlier.txt" << true << "Failed to Save Stream.";
}

// Each way stops root too: a folder is no file, nor has a file children, and a
// file size limit cuts every write short as a full disk would.
void TestMainExport::failureKeepsTheEarlierFile()
{
    QFETCH(QString, name);
    QFETCH(bool, rtf);
    QFETCH(QString, message);
    const QString earlier = path(QStringLiteral("earlier.txt")), target = path(name);
    QVERIFY(m_env->writeFile(earlier, "earlier content"));
    m_form->Memo->setText(QStringLiteral("A line of a page too big for the space left.\r\n").repeated(4000));
    const QStringList before = entriesOf(m_env->path());

    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit capped{64 * 1024, previous.rlim_max};
    QVERIFY(message.isEmpty() || ::setrlimit(RLIMIT_FSIZE, &capped) == 0);
    exportWith(rtf ? m_form->ExportRTFMenuTiem : m_form->ExportTextMenuItem, [&](QFileDialog *dialog) {
        // The dialog goes into a folder it is given; this one appears after the choice.
        if (name == u"taken.txt")
            connect(dialog, &QDialog::accepted, dialog, [target] { QDir().mkdir(target); },
                    Qt::SingleShotConnection);
        saveAs(target)(dialog);
    });
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    if (message.isEmpty())
        message = QStringLiteral("Cannot create file %1.").arg(target);
    QCOMPARE(m_boxes->texts(), QStringList{message});
    QCOMPARE(readAll(earlier), QByteArray("earlier content"));
    if (name == u"taken.txt")
        QVERIFY(QFileInfo(target).isDir() && entriesOf(target).isEmpty());
    else
        QCOMPARE(entriesOf(m_env->path()), before);
}

QTEST_MAIN(TestMainExport)
#include "tst_mainexport.moc"
