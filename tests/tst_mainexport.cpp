// Export through the main window: the shared save dialog, the bytes of a text export,
// Rich Text read back by unrtf, and failures that leave an earlier file alone.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
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

QLineEdit *nameField(QFileDialog *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// Presses Save (accept() is protected in QFileDialog, public in QDialog).
void press(QFileDialog *dialog)
{
    static_cast<QDialog *>(dialog)->accept();
}

// Types the name into the dialog's name field, as a user would, and presses Save.
Answer typeName(const QString &directory, const QString &name)
{
    return [directory, name](QFileDialog *dialog) {
        dialog->setDirectory(directory);
        nameField(dialog)->setText(name);
        press(dialog);
    };
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entriesOf(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString bigPage()
{
    QString text;
    for (int i = 0; i < 4000; ++i)
        text += QStringLiteral("Line %1 of a page too big for the space left.\r\n").arg(i);
    return text;
}

} // namespace

class TestMainExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void textBytesAreTheWholeText_data();
    void textBytesAreTheWholeText();
    void dialogOffersOneFilterAndItsSuffix_data();
    void dialogOffersOneFilterAndItsSuffix();
    void nameCarriesOverAndCancelWritesNothing();
    void rtfReadBackByUnrtf();
    void fileThatCannotBeCreated_data();
    void fileThatCannotBeCreated();
    void writeCutShortKeepsTheEarlierFile_data();
    void writeCutShortKeepsTheEarlierFile();

private:
    void startForm(const QByteArray &settings = {});
    // Runs the command; answer acts on its dialog once it is open.
    void exportWith(QAction *command, Answer answer);
    QString path(const QString &name) const { return m_env->filePath(name); }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
    QString m_mounted;
};

void TestMainExport::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void TestMainExport::cleanup()
{
    m_form.reset();
    if (!m_mounted.isEmpty())
        QProcess::execute(QStringLiteral("umount"), {m_mounted});
    m_mounted.clear();
    m_boxes.reset();
    m_env.reset();
}

void TestMainExport::startForm(const QByteArray &settings)
{
    if (!settings.isEmpty())
        QVERIFY(m_env->writeSettings(settings));
    m_form = std::make_unique<TMainForm>();
    QVERIFY(m_form->notesLoaded());
    m_form->createDialogs();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestMainExport::exportWith(QAction *command, Answer answer)
{
    whenDialogOpens(std::move(answer));
    command->trigger();
}

void TestMainExport::textBytesAreTheWholeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("earlier"); // a file already there, or none

    QTest::newRow("empty page") << QString() << QByteArray() << QByteArray();
    QTest::newRow("three lines, no final break")
        << QStringLiteral("one\r\ntwo\r\nthree") << QByteArray("one\r\ntwo\r\nthree") << QByteArray();
    QTest::newRow("non-ASCII as UTF-8, no byte-order mark")
        << QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e\r\n\xE2\x9C\x93 \xF0\x9F\x98\x80\t\xC2\xA0!")
        << QByteArray("Gr\xC3\xBC\xC3\x9F" "e\r\n\xE2\x9C\x93 \xF0\x9F\x98\x80\t\xC2\xA0!") << QByteArray();
    QTest::newRow("earlier file replaced without a question")
        << QStringLiteral("new\r\n") << QByteArray("new\r\n") << QByteArray(5000, 'z');
}

void TestMainExport::textBytesAreTheWholeText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, earlier);
    startForm();
    if (!earlier.isEmpty())
        QVERIFY(m_env->writeFile(path(QStringLiteral("page.txt")), earlier));
    m_form->Memo->setText(text);
    // A selection has no influence.
    m_form->Memo->setSelection(1, 3);
    exportWith(m_form->ExportTextMenuItem, typeName(m_env->path(), QStringLiteral("page.txt")));
    QCOMPARE(readAll(path(QStringLiteral("page.txt"))), bytes);
    QVERIFY(m_boxes->requests().isEmpty());
    QVERIFY(entriesOf(m_env->path()).contains(QStringLiteral("page.txt")));
}

void TestMainExport::dialogOffersOneFilterAndItsSuffix_data()
{
    QTest::addColumn<bool>("rtf");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("filter");

    QTest::newRow("text, no extension") << false << "notes" << "notes.txt" << "Text file (*.txt)";
    QTest::newRow("text, other extension kept") << false << "notes.md" << "notes.md" << "Text file (*.txt)";
    QTest::newRow("rtf, no extension") << true << "notes" << "notes.rtf" << "Rich Text file (*.rtf)";
    QTest::newRow("rtf, .txt kept") << true << "notes.txt" << "notes.txt" << "Rich Text file (*.rtf)";
}

void TestMainExport::dialogOffersOneFilterAndItsSuffix()
{
    QFETCH(bool, rtf);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, filter);
    startForm();
    m_form->Memo->setText(QStringLiteral("x"));
    QStringList filters;
    QString title;
    QRect frame;
    exportWith(rtf ? m_form->ExportRTFMenuTiem : m_form->ExportTextMenuItem, [&](QFileDialog *dialog) {
        filters = dialog->nameFilters();
        title = dialog->windowTitle();
        frame = dialog->frameGeometry();
        typeName(m_env->path(), typed)(dialog);
    });
    QCOMPARE(title, QStringLiteral("Export file"));
    QCOMPARE(filters, QStringList{filter});
    const QRect screen = m_form->screen()->availableGeometry();
    QCOMPARE(frame.left(), screen.left() + (screen.width() - frame.width()) / 2);
    QCOMPARE(frame.top(), screen.top() + (screen.height() - frame.height()) / 3);
    QCOMPARE(entriesOf(m_env->path()).filter(QStringLiteral("notes")), QStringList{written});
    // The format follows the command, whatever the extension.
    QCOMPARE(readAll(path(written)).startsWith("{\\rtf1"), rtf);
}

void TestMainExport::nameCarriesOverAndCancelWritesNothing()
{
    startForm();
    m_form->Memo->setText(QStringLiteral("shared name"));
    exportWith(m_form->ExportTextMenuItem, typeName(m_env->path(), QStringLiteral("notes.txt")));
    const QStringList written = entriesOf(m_env->path());

    // The user types another name, then cancels: nothing is written, the name stays.
    QString offered;
    const auto offeredThen = [&offered](Answer then) {
        return [&offered, then](QFileDialog *dialog) {
            offered = dialog->directory().absoluteFilePath(nameField(dialog)->text());
            then(dialog);
        };
    };
    exportWith(m_form->ExportRTFMenuTiem, offeredThen([](QFileDialog *dialog) {
                   nameField(dialog)->setText(QStringLiteral("other"));
                   dialog->reject();
               }));
    QCOMPARE(offered, path(QStringLiteral("notes.txt")));
    QCOMPARE(entriesOf(m_env->path()), written);
    QCOMPARE(readAll(path(QStringLiteral("notes.txt"))), QByteArray("shared name"));

    offered.clear();
    exportWith(m_form->ExportRTFMenuTiem, offeredThen(press));
    QCOMPARE(offered, path(QStringLiteral("notes.txt")));
    const QByteArray rtf = readAll(path(QStringLiteral("notes.txt")));
    QVERIFY(rtf.startsWith("{\\rtf1"));
    QVERIFY(rtf.contains("shared name}"));

    // An empty page is an RTF document with no text.
    m_form->Memo->setText(QString());
    exportWith(m_form->ExportRTFMenuTiem, press);
    QVERIFY(readAll(path(QStringLiteral("notes.txt"))).endsWith("}\r\n\\pard}\r\n"));
}

void TestMainExport::rtfReadBackByUnrtf()
{
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty())
        QFAIL("unrtf is not installed (Debian package unrtf)");

    // Editor font: DejaVu Serif, 14 pt, red (0x0000FF as the settings hold colours).
    startForm("[Font]\nName=DejaVu Serif\nSize=14\nColor=255\n");
    const QString typed = QString::fromUtf8("Typed na\xC3\xAFve caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 end");
    m_form->Memo->setText(typed + QStringLiteral("\r\n"));
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b>Bold</b> <i>Italic</i> <u>Under</u> <span style=\"color:#008000\">Green</span> "
                                 "<span style=\"font-family:'DejaVu Sans Mono'\">Mono</span>"));
    mime->setText(QStringLiteral("Bold Italic Under Green Mono"));
    QGuiApplication::clipboard()->setMimeData(mime);
    m_form->Memo->moveCursor(QTextCursor::End);
    m_form->EditPasteMenuItem->trigger();

    exportWith(m_form->ExportRTFMenuTiem, typeName(m_env->path(), QStringLiteral("page")));
    const QByteArray rtf = readAll(path(QStringLiteral("page.rtf")));
    QVERIFY(std::all_of(rtf.cbegin(), rtf.cend(), [](char c) { return uchar(c) < 0x80; }));
    QVERIFY(rtf.contains("\\fs28")); // 14 pt in half points

    QProcess reader;
    reader.start(unrtf, {QStringLiteral("--html"), path(QStringLiteral("page.rtf"))});
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

void TestMainExport::fileThatCannotBeCreated_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("blocker"); // how the place is blocked

    QTest::newRow("folder in the file's place") << "taken.txt" << "folder";
    QTest::newRow("path below a regular file") << "plain.txt/below.txt" << "file";
    QTest::newRow("folder missing") << "missing/below.txt" << "";
    QTest::newRow("read-only file") << "locked.txt" << "read-only";
}

void TestMainExport::fileThatCannotBeCreated()
{
    QFETCH(QString, name);
    QFETCH(QString, blocker);
    startForm();
    m_form->Memo->setText(QStringLiteral("never written"));
    const QString target = path(name);
    if (blocker == u"file")
        QVERIFY(m_env->writeFile(path(QStringLiteral("plain.txt")), "plain"));
    if (blocker == u"read-only") {
        QVERIFY(m_env->writeFile(target, "locked"));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    const QStringList before = entriesOf(m_env->path());

    exportWith(m_form->ExportTextMenuItem, [&](QFileDialog *dialog) {
        // The dialog goes into a folder it is given; this one appears after the choice.
        if (blocker == u"folder")
            connect(dialog, &QDialog::accepted, dialog, [target] { QDir().mkdir(target); },
                    Qt::SingleShotConnection);
        nameField(dialog)->setText(target);
        press(dialog);
    });

    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Cannot create file %1.").arg(target)});
    QCOMPARE(m_boxes->requests().constFirst().caption, QStringLiteral("Pinnote"));
    QCOMPARE(m_boxes->requests().constFirst().icon, MessageBox::Icon::Error);
    if (blocker == u"folder")
        QVERIFY(QFileInfo(target).isDir() && entriesOf(target).isEmpty());
    else
        QCOMPARE(entriesOf(m_env->path()), before);
    if (blocker == u"read-only")
        QCOMPARE(readAll(target), QByteArray("locked"));
}

void TestMainExport::writeCutShortKeepsTheEarlierFile_data()
{
    QTest::addColumn<bool>("rtf");
    QTest::addColumn<bool>("smallFilesystem"); // else a cap on the size of any file written
    QTest::newRow("text, size cap") << false << false;
    QTest::newRow("rtf, size cap") << true << false;
    QTest::newRow("text, full tmpfs") << false << true;
    QTest::newRow("rtf, full tmpfs") << true << true;
}

void TestMainExport::writeCutShortKeepsTheEarlierFile()
{
    QFETCH(bool, rtf);
    QFETCH(bool, smallFilesystem);
    QString folder = m_env->path();
    if (smallFilesystem) {
        folder = path(QStringLiteral("small"));
        QVERIFY(QDir().mkdir(folder));
        QProcess mount;
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=64k"), QStringLiteral("tmpfs"), folder});
        if (!mount.waitForFinished() || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here: %1")
                                 .arg(QString::fromLocal8Bit(mount.readAllStandardError()).trimmed())));
        m_mounted = folder;
    }
    startForm();
    const QString target = folder + QStringLiteral("/earlier.txt");
    QVERIFY(m_env->writeFile(target, "earlier content"));
    m_form->Memo->setText(bigPage());
    const QStringList before = entriesOf(folder);

    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    // Writes stop 64 KiB into any file, as they would on a disk that is full.
    const rlimit capped{64 * 1024, previous.rlim_max};
    QVERIFY(smallFilesystem || ::setrlimit(RLIMIT_FSIZE, &capped) == 0);
    exportWith(rtf ? m_form->ExportRTFMenuTiem : m_form->ExportTextMenuItem,
               typeName(folder, QStringLiteral("earlier.txt")));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Failed to Save Stream.")});
    QCOMPARE(readAll(target), QByteArray("earlier content"));
    QCOMPARE(entriesOf(folder), before);
}

QTEST_MAIN(TestMainExport)
#include "tst_mainexport.moc"
