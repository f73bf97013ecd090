// Export through the main window: the shared save dialog, the bytes of a text
// export, Rich Text read back by unrtf, and the failures that must leave an earlier
// file alone.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <memory>

namespace {

using Answer = std::function<void(QFileDialog *)>;

// Runs answer on the save dialog as soon as the command has opened it.
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

Answer cancel()
{
    return [](QFileDialog *dialog) { dialog->reject(); };
}

// What the dialog showed when it opened.
struct Shown
{
    QString fullName;
    QStringList filters;
    QString suffix;
    QString title;
    QRect frame;
};

Answer recordThen(Shown &shown, Answer then)
{
    return [&shown, then](QFileDialog *dialog) {
        const QString name = nameField(dialog)->text();
        shown.fullName = name.isEmpty() ? QString() : dialog->directory().absoluteFilePath(name);
        shown.filters = dialog->nameFilters();
        shown.suffix = dialog->defaultSuffix();
        shown.title = dialog->windowTitle();
        shown.frame = dialog->frameGeometry();
        then(dialog);
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

// Keeps every file write of this process under limit bytes until it goes.
class FileSizeCap
{
public:
    explicit FileSizeCap(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit capped{limit, m_previous.rlim_max};
        m_ok = ::setrlimit(RLIMIT_FSIZE, &capped) == 0;
    }
    ~FileSizeCap()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
    bool m_ok = false;
};

// Takes at most limit bytes; every write past that falls short.
class ShortDevice : public QIODevice
{
public:
    explicit ShortDevice(qint64 limit)
        : m_limit(limit)
    {
        open(QIODevice::WriteOnly);
    }
    QByteArray taken;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        const qint64 n = std::min(size, m_limit - qint64(taken.size()));
        taken.append(data, n);
        return n;
    }

private:
    qint64 m_limit;
};

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
    void typedLinesExportWithCrLfBetweenThem();
    void dialogOffersOneFilterAndItsSuffix_data();
    void dialogOffersOneFilterAndItsSuffix();
    void dialogPlacedAtAThirdOfTheFreeHeight();
    void existingFileReplacedWithoutAQuestion();
    void rtfDialogStartsWithTheLastTextExportName();
    void cancelWritesNothingAndKeepsTheName();
    void selectionHasNoInfluence();
    void rtfReadBackByUnrtf();
    void emptyPageAsRtfHasNoText();

    void fileThatCannotBeCreated_data();
    void fileThatCannotBeCreated();
    void writeCutShortKeepsTheEarlierFile();
    void fullFilesystemKeepsTheEarlierFile();
    void streamOutReportsAShortDevice_data();
    void streamOutReportsAShortDevice();

private:
    void startForm(const QByteArray &settings = {});
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

    QTest::newRow("empty page") << QString() << QByteArray();
    QTest::newRow("three lines, no final break")
        << QStringLiteral("one\r\ntwo\r\nthree") << QByteArray("one\r\ntwo\r\nthree");
    QTest::newRow("final break kept, none added")
        << QStringLiteral("one\r\n\r\n") << QByteArray("one\r\n\r\n");
    QTest::newRow("non-ASCII as UTF-8, no byte-order mark")
        << QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e\r\n\xE2\x9C\x93 \xF0\x9F\x98\x80\t\xC2\xA0!")
        << QByteArray("Gr\xC3\xBC\xC3\x9F" "e\r\n\xE2\x9C\x93 \xF0\x9F\x98\x80\t\xC2\xA0!");
}

void TestMainExport::textBytesAreTheWholeText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    startForm();
    m_form->Memo->setText(text);
    exportWith(m_form->ExportTextMenuItem, typeName(m_env->path(), QStringLiteral("page.txt")));
    QVERIFY(QFileInfo::exists(path(QStringLiteral("page.txt"))));
    QCOMPARE(readAll(path(QStringLiteral("page.txt"))), bytes);
    QVERIFY(m_boxes->requests().isEmpty());
}

void TestMainExport::typedLinesExportWithCrLfBetweenThem()
{
    startForm();
    m_form->Memo->setFocus();
    QTest::keyClicks(m_form->Memo, QStringLiteral("alpha"));
    QTest::keyClick(m_form->Memo, Qt::Key_Return);
    QTest::keyClicks(m_form->Memo, QStringLiteral("beta"));
    QTest::keyClick(m_form->Memo, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(m_form->Memo, QStringLiteral("gamma"));
    exportWith(m_form->ExportTextMenuItem, typeName(m_env->path(), QStringLiteral("typed")));
    QCOMPARE(readAll(path(QStringLiteral("typed.txt"))), QByteArray("alpha\r\nbeta\r\ngamma"));
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
    Shown shown;
    exportWith(rtf ? m_form->ExportRTFMenuTiem : m_form->ExportTextMenuItem,
               recordThen(shown, typeName(m_env->path(), typed)));
    QCOMPARE(shown.title, QStringLiteral("Export file"));
    QCOMPARE(shown.filters, QStringList{filter});
    QVERIFY(shown.fullName.isEmpty());
    QCOMPARE(entriesOf(m_env->path()).filter(QStringLiteral("notes")), QStringList{written});
    // The format follows the command, whatever the extension.
    QCOMPARE(readAll(path(written)).startsWith("{\\rtf1"), rtf);
}

void TestMainExport::dialogPlacedAtAThirdOfTheFreeHeight()
{
    startForm();
    Shown shown;
    exportWith(m_form->ExportTextMenuItem, recordThen(shown, cancel()));
    const QRect screen = m_form->screen()->availableGeometry();
    QVERIFY(shown.frame.isValid());
    QCOMPARE(shown.frame.left(), screen.left() + (screen.width() - shown.frame.width()) / 2);
    QCOMPARE(shown.frame.top(), screen.top() + (screen.height() - shown.frame.height()) / 3);
    QVERIFY(m_form->SaveDialog->testOption(QFileDialog::DontUseNativeDialog));
}

void TestMainExport::existingFileReplacedWithoutAQuestion()
{
    startForm();
    QVERIFY(m_env->writeFile(path(QStringLiteral("old.txt")), QByteArray(5000, 'z')));
    m_form->Memo->setText(QStringLiteral("new"));
    exportWith(m_form->ExportTextMenuItem, typeName(m_env->path(), QStringLiteral("old.txt")));
    QCOMPARE(readAll(path(QStringLiteral("old.txt"))), QByteArray("new"));
    QVERIFY(m_boxes->requests().isEmpty());
    QCOMPARE(entriesOf(m_env->path()).filter(QStringLiteral("old")), QStringList{QStringLiteral("old.txt")});
}

void TestMainExport::rtfDialogStartsWithTheLastTextExportName()
{
    startForm();
    m_form->Memo->setText(QStringLiteral("shared name"));
    exportWith(m_form->ExportTextMenuItem, typeName(m_env->path(), QStringLiteral("notes.txt")));
    QCOMPARE(readAll(path(QStringLiteral("notes.txt"))), QByteArray("shared name"));

    Shown shown;
    exportWith(m_form->ExportRTFMenuTiem, recordThen(shown, [](QFileDialog *dialog) { press(dialog); }));
    QCOMPARE(shown.fullName, path(QStringLiteral("notes.txt")));
    QCOMPARE(shown.filters, QStringList{QStringLiteral("Rich Text file (*.rtf)")});
    const QByteArray rtf = readAll(path(QStringLiteral("notes.txt")));
    QVERIFY(rtf.startsWith("{\\rtf1"));
    QVERIFY(rtf.contains("shared name"));
}

void TestMainExport::cancelWritesNothingAndKeepsTheName()
{
    startForm();
    m_form->Memo->setText(QStringLiteral("kept"));
    exportWith(m_form->ExportRTFMenuTiem, typeName(m_env->path(), QStringLiteral("first")));
    const QStringList before = entriesOf(m_env->path());
    const QByteArray firstBytes = readAll(path(QStringLiteral("first.rtf")));

    // The user types another name, then thinks better of it.
    m_form->Memo->setText(QStringLiteral("changed"));
    exportWith(m_form->ExportTextMenuItem, [](QFileDialog *dialog) {
        nameField(dialog)->setText(QStringLiteral("second"));
        dialog->reject();
    });
    QCOMPARE(entriesOf(m_env->path()), before);
    QCOMPARE(readAll(path(QStringLiteral("first.rtf"))), firstBytes);

    Shown shown;
    exportWith(m_form->ExportTextMenuItem, recordThen(shown, cancel()));
    QCOMPARE(shown.fullName, path(QStringLiteral("first.rtf")));
    QCOMPARE(entriesOf(m_env->path()), before);
}

void TestMainExport::selectionHasNoInfluence()
{
    startForm();
    m_form->Memo->setText(QStringLiteral("first line\r\nsecond line"));
    m_form->Memo->setSelection(2, 7);
    exportWith(m_form->ExportTextMenuItem, typeName(m_env->path(), QStringLiteral("all.txt")));
    QCOMPARE(readAll(path(QStringLiteral("all.txt"))), QByteArray("first line\r\nsecond line"));
    exportWith(m_form->ExportRTFMenuTiem, typeName(m_env->path(), QStringLiteral("all.rtf")));
    const QByteArray rtf = readAll(path(QStringLiteral("all.rtf")));
    QVERIFY(rtf.contains("first line"));
    QVERIFY(rtf.contains("second line"));
    QCOMPARE(m_form->Memo->selection().start, 2);
    QCOMPARE(m_form->Memo->selection().end, 7);
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
    mime->setHtml(QStringLiteral("<b>Bold</b> <i>Italic</i> <u>Under</u> "
                                 "<span style=\"color:#008000\">Green</span> "
                                 "<span style=\"font-family:'DejaVu Sans Mono'\">Mono</span>"));
    mime->setText(QStringLiteral("Bold Italic Under Green Mono"));
    QGuiApplication::clipboard()->setMimeData(mime);
    m_form->Memo->moveCursor(QTextCursor::End);
    m_form->EditPasteMenuItem->trigger();

    exportWith(m_form->ExportRTFMenuTiem, typeName(m_env->path(), QStringLiteral("page")));
    const QByteArray rtf = readAll(path(QStringLiteral("page.rtf")));
    QVERIFY(std::all_of(rtf.cbegin(), rtf.cend(), [](char c) { return uchar(c) < 0x80; }));

    QProcess reader;
    reader.start(unrtf, {QStringLiteral("--html"), path(QStringLiteral("page.rtf"))});
    QVERIFY(reader.waitForFinished());
    QCOMPARE(reader.exitCode(), 0);
    QTextDocument read;
    read.setHtml(QString::fromUtf8(reader.readAllStandardOutput()));

    const auto formatOf = [&read](const QString &word) {
        const QTextCursor found = read.find(word);
        return found.isNull() ? QTextCharFormat() : found.charFormat();
    };
    QVERIFY2(read.toPlainText().contains(typed), qPrintable(read.toPlainText()));
    QCOMPARE(formatOf(QStringLiteral("Typed")).fontFamilies().toStringList().value(0),
             QStringLiteral("DejaVu Serif"));
    QCOMPARE(formatOf(QStringLiteral("Typed")).foreground().color(), QColor(Qt::red));
    QCOMPARE(formatOf(QStringLiteral("Typed")).fontWeight(), int(QFont::Normal));
    QCOMPARE(formatOf(QStringLiteral("Bold")).fontWeight(), int(QFont::Bold));
    QVERIFY(formatOf(QStringLiteral("Italic")).fontItalic());
    QVERIFY(!formatOf(QStringLiteral("Bold")).fontItalic());
    QVERIFY(formatOf(QStringLiteral("Under")).fontUnderline());
    QCOMPARE(formatOf(QStringLiteral("Green")).foreground().color(), QColor(0x00, 0x80, 0x00));
    QCOMPARE(formatOf(QStringLiteral("Mono")).fontFamilies().toStringList().value(0),
             QStringLiteral("DejaVu Sans Mono"));
    // 14 pt is 28 half points.
    QVERIFY(rtf.contains("\\fs28"));
}

void TestMainExport::emptyPageAsRtfHasNoText()
{
    startForm();
    exportWith(m_form->ExportRTFMenuTiem, typeName(m_env->path(), QStringLiteral("empty")));
    const QByteArray rtf = readAll(path(QStringLiteral("empty.rtf")));
    QVERIFY(rtf.startsWith("{\\rtf1"));
    QVERIFY(rtf.contains("{\\fonttbl"));
    QVERIFY(rtf.contains("{\\colortbl"));
    // Nothing after the header but the closing brace.
    QVERIFY2(rtf.endsWith("\\pard}\r\n"), rtf.constData());
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
    if (blocker == QStringLiteral("file")) {
        QVERIFY(m_env->writeFile(path(QStringLiteral("plain.txt")), "plain"));
    } else if (blocker == QStringLiteral("read-only")) {
        QVERIFY(m_env->writeFile(target, "locked"));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    const QStringList before = entriesOf(m_env->path());

    exportWith(m_form->ExportTextMenuItem, [&](QFileDialog *dialog) {
        // The dialog itself goes into a folder it is given; this one appears after the
        // name was chosen.
        if (blocker == QStringLiteral("folder"))
            connect(dialog, &QDialog::accepted, dialog, [target] { QDir().mkdir(target); },
                    Qt::SingleShotConnection);
        nameField(dialog)->setText(target);
        press(dialog);
    });

    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Cannot create file %1.").arg(target)});
    const MessageBox::Request box = m_boxes->requests().constFirst();
    QCOMPARE(box.caption, QStringLiteral("Pinnote"));
    QCOMPARE(box.icon, MessageBox::Icon::Error);
    if (blocker == QStringLiteral("folder")) {
        QVERIFY(QFileInfo(target).isDir());
        QVERIFY(entriesOf(target).isEmpty());
    } else {
        QCOMPARE(entriesOf(m_env->path()), before);
    }
    if (blocker == QStringLiteral("read-only"))
        QCOMPARE(readAll(target), QByteArray("locked"));
    if (blocker == QStringLiteral("file"))
        QCOMPARE(readAll(path(QStringLiteral("plain.txt"))), QByteArray("plain"));
}

void TestMainExport::writeCutShortKeepsTheEarlierFile()
{
    startForm();
    const QString target = path(QStringLiteral("earlier.rtf"));
    QVERIFY(m_env->writeFile(target, "earlier content"));
    m_form->Memo->setText(bigPage());
    const QStringList before = entriesOf(m_env->path());
    for (QAction *command : {m_form->ExportTextMenuItem, m_form->ExportRTFMenuTiem}) {
        m_boxes->clear();
        {
            // Writes stop 64 KiB into any file, as they would on a disk that is full.
            FileSizeCap cap(64 * 1024);
            QVERIFY(cap.ok());
            exportWith(command, typeName(m_env->path(), QStringLiteral("earlier.rtf")));
        }
        QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Failed to Save Stream.")});
        QCOMPARE(readAll(target), QByteArray("earlier content"));
        QCOMPARE(entriesOf(m_env->path()), before);
    }
}

void TestMainExport::fullFilesystemKeepsTheEarlierFile()
{
    const QString mountPoint = path(QStringLiteral("small"));
    QVERIFY(QDir().mkdir(mountPoint));
    QProcess mount;
    mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=64k"), QStringLiteral("tmpfs"), mountPoint});
    if (!mount.waitForFinished() || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
        QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here: %1")
                             .arg(QString::fromLocal8Bit(mount.readAllStandardError()).trimmed())));
    m_mounted = mountPoint;

    startForm();
    const QString target = mountPoint + QStringLiteral("/page.txt");
    QVERIFY(m_env->writeFile(target, "earlier content"));
    m_form->Memo->setText(bigPage());
    exportWith(m_form->ExportTextMenuItem, typeName(mountPoint, QStringLiteral("page.txt")));
    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("Failed to Save Stream.")});
    QCOMPARE(readAll(target), QByteArray("earlier content"));
    QCOMPARE(entriesOf(mountPoint), QStringList{QStringLiteral("page.txt")});
}

void TestMainExport::streamOutReportsAShortDevice_data()
{
    QTest::addColumn<bool>("plainText");
    QTest::newRow("text") << true;
    QTest::newRow("rtf") << false;
}

void TestMainExport::streamOutReportsAShortDevice()
{
    QFETCH(bool, plainText);
    RichEdit editor;
    editor.setText(bigPage());
    editor.PlainText = plainText;
    QBuffer whole;
    whole.open(QIODevice::WriteOnly);
    QVERIFY(editor.streamOut(&whole));
    QVERIFY(whole.data().size() > 1000);

    ShortDevice device(1000);
    QVERIFY(!editor.streamOut(&device));
    QCOMPARE(device.taken, whole.data().left(1000));
}

QTEST_MAIN(TestMainExport)
#include "tst_mainexport.moc"
