#include "core/Exceptions.h"
#include "storage/FileLock.h"
#include "storage/NoteFile.h"
#include "support/FileSizeLimit.h"
#include "support/ShortDevice.h"
#include "support/TestBytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 06 0B "TKW-Pinnote", 02 01, 01
const QByteArray Header = hex("060b") + QByteArray("TKW-Pinnote") + hex("0201") + hex("01");

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size()
           && file.flush();
}

mode_t modeOf(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return mode_t(-1);
    return status.st_mode & 07777;
}

bool isFifo(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

NotePages pagesFromBytes(QByteArray bytes)
{
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    return NoteFile::read(in);
}

QByteArray bytesFromPages(const NotePages &pages)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    NoteFile::write(out, pages);
    return out.data();
}


// Blocks until the child prints the line; false when it ends first.
bool waitForLine(QProcess &process, const QByteArray &line)
{
    for (;;) {
        while (process.canReadLine()) {
            if (process.readLine().trimmed() == line)
                return true;
        }
        if (!process.waitForReadyRead(-1))
            return false;
    }
}

enum class Failure { None, Exception, EReadError };

enum class Setup {
    ReadOnlyFile,
    NoWriteBitsButExecute,
    DataFileIsDirectory,
    DataFileIsFifo,
    DirectoryRemoved,
    PathBelowRegularFile,
    ForeignLinkInOpenFolder,         // to a file of the user's
    ForeignDanglingLinkInOpenFolder, // into a folder closed to others
};

enum class LoadOutcome { Pages, Missing, OpenError };

QString randomText(QRandomGenerator &random, int maxBytes)
{
    // ASCII, CR LF, two-, three- and four-byte UTF-8 (a surrogate pair), a NUL, a BOM.
    static const QString pool[] = {
        QStringLiteral("a"), QStringLiteral("Z"), QStringLiteral(" "), QStringLiteral("\r\n"),
        QString(QChar(0xE9)), QString(QChar(0x20AC)), QString(QChar(0x4E2D)), QString::fromUtf8("\xF0\x9F\x98\x80"),
        QString(QChar(0)), QString(QChar(0xFEFF)),
    };
    const int target = random.bounded(maxBytes + 1);
    QString text;
    qsizetype bytes = 0;
    for (;;) {
        const QString &piece = pool[random.bounded(int(std::size(pool)))];
        const qsizetype size = piece.toUtf8().size();
        if (bytes + size > target)
            break;
        text += piece;
        bytes += size;
    }
    return text;
}

} // namespace

Q_DECLARE_METATYPE(Failure)
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(LoadOutcome)

class TestNoteFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void writeLayout_data();
    void writeLayout();
    void read_data();
    void read();
    void roundTripRandomPads_data();
    void roundTripRandomPads();
    void windows1252_data();
    void windows1252();
    void nameCut_data();
    void nameCut();
    void textsAreNotCut();
    void writeToShortDevice();

    void loadMissingFileCreatesNothing();
    void saveThenLoad();
    void saveReplacesWholeFile();
    void saveKeepsMode_data();
    void saveKeepsMode();
    void saveKeepsOwner();
    void saveFollowsSymlink();
    void failures_data();
    void failures();
    void saveFailingMidWriteKeepsOldFile();
    void lockHeldByAnotherProcess_data();
    void lockHeldByAnotherProcess();
    void lockReleasedWhenHolderIsKilled();
    void loadFromUnreadableDirectory();

private:
    QString dataPath() const { return m_dir->filePath(QString::fromLatin1(NoteFile::FileName)); }

    std::optional<QTemporaryDir> m_dir;
    QString m_oldCurrent;
};

void TestNoteFile::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
}

void TestNoteFile::cleanup()
{
    QDir::setCurrent(m_oldCurrent);
    m_dir.reset();
}

void TestNoteFile::writeLayout_data()
{
    QTest::addColumn<NotePages>("pages");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("first start, 25 bytes")
        << NotePages{{QStringLiteral("Memo"), QString()}}
        << hex("060b544b572d50696e6e6f7465" "0201" "01" "06044d656d6f" "0600" "00");
    QTest::newRow("worked example, 59 bytes")
        << NotePages{{QStringLiteral("Memo"), QStringLiteral("Buy milk")},
                     {QStringLiteral("Work"), QStringLiteral("Line one\r\nLine two")}}
        << hex("060b544b572d50696e6e6f7465" "0201" "01"
               "06044d656d6f" "0608427579206d696c6b"
               "0604576f726b" "06124c696e65206f6e650d0a4c696e652074776f"
               "00");
    QTest::newRow("no pages") << NotePages{} << Header + hex("00");
    QTest::newRow("256-byte text in the long form")
        << NotePages{{QString(), QString(256, QLatin1Char('t'))}}
        << Header + hex("0600") + hex("0c00010000") + QByteArray(256, 't') + hex("00");
    QTest::newRow("non-ASCII as UTF-8")
        << NotePages{{QString(QChar(0xE9)), QString(QChar(0x20AC))}}
        << Header + hex("0602c3a9") + hex("0603e282ac") + hex("00");
}

void TestNoteFile::writeLayout()
{
    QFETCH(NotePages, pages);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytesFromPages(pages), expected);
}

void TestNoteFile::read_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<NotePages>("pages");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("message");

    const QByteArray magic("TKW-Pinnote");
    const QByteArray memo = hex("06044d656d6f") + hex("0600");
    const NotePages memoPages{{QStringLiteral("Memo"), QString()}};
    const QString wrongType = QStringLiteral("Incorrect file type");
    const QString wrongVersion = QStringLiteral("Incorrect file version");
    const QString invalid = QStringLiteral("Invalid property value");
    const QString shortRead = QStringLiteral("Stream read error");

    QTest::newRow("worked example")
        << hex("060b544b572d50696e6e6f7465" "0201" "01"
               "06044d656d6f" "0608427579206d696c6b"
               "0604576f726b" "06124c696e65206f6e650d0a4c696e652074776f" "00")
        << NotePages{{QStringLiteral("Memo"), QStringLiteral("Buy milk")},
                     {QStringLiteral("Work"), QStringLiteral("Line one\r\nLine two")}}
        << Failure::None << QString();
    QTest::newRow("file type in the long form")
        << hex("0c0b000000") + magic + hex("0201") + hex("01") + memo + hex("00") << memoPages << Failure::None
        << QString();
    QTest::newRow("version in the 16-bit form")
        << hex("060b") + magic + hex("030100") + hex("01") + memo + hex("00") << memoPages << Failure::None << QString();
    QTest::newRow("version in the 32-bit form")
        << hex("060b") + magic + hex("0401000000") + hex("01") + memo + hex("00") << memoPages << Failure::None
        << QString();
    QTest::newRow("zero pages") << Header + hex("00") << NotePages{} << Failure::None << QString();
    QTest::newRow("bytes after the end")
        << Header + memo + hex("00") + QByteArray("trailing junk \x06\xff") << memoPages << Failure::None << QString();
    QTest::newRow("file type in other case")
        << hex("060b") + QByteArray("TKW-PINNOTE") + hex("0201") + hex("01") + hex("00") << NotePages{}
        << Failure::Exception << wrongType;
    QTest::newRow("file type shorter")
        << hex("060a") + QByteArray("TKW-Pinnot") + hex("0201") + hex("01") + hex("00") << NotePages{}
        << Failure::Exception << wrongType;
    QTest::newRow("file type with a NUL after")
        << hex("060c") + magic + hex("00") + hex("0201") + hex("01") + hex("00") << NotePages{} << Failure::Exception
        << wrongType;
    QTest::newRow("version 2") << hex("060b") + magic + hex("0202") + hex("01") + hex("00") << NotePages{}
                               << Failure::Exception << wrongVersion;
    QTest::newRow("version 257 in the 16-bit form")
        << hex("060b") + magic + hex("030101") + hex("01") + hex("00") << NotePages{} << Failure::Exception
        << wrongVersion;
    QTest::newRow("version 1 as a string") << hex("060b") + magic + hex("060131") + hex("01") + hex("00")
                                           << NotePages{} << Failure::EReadError << invalid;
    QTest::newRow("no list start") << hex("060b") + magic + hex("0201") + memo + hex("00") << NotePages{}
                                   << Failure::EReadError << invalid;
    QTest::newRow("name not a string") << Header + hex("0201") + hex("0600") + hex("00") << NotePages{}
                                       << Failure::EReadError << invalid;
    QTest::newRow("text not a string") << Header + hex("0600") + hex("01") + hex("00") << NotePages{}
                                       << Failure::EReadError << invalid;
    QTest::newRow("empty file") << QByteArray() << NotePages{} << Failure::EReadError << shortRead;
    QTest::newRow("header only") << Header << NotePages{} << Failure::EReadError << shortRead;
    QTest::newRow("ends after the last text") << Header + memo << NotePages{} << Failure::EReadError << shortRead;
    QTest::newRow("ends between name and text") << Header + hex("06044d656d6f") << NotePages{}
                                                << Failure::EReadError << shortRead;
    QTest::newRow("ends inside a text") << Header + hex("06044d656d6f") + hex("06084275") << NotePages{}
                                        << Failure::EReadError << shortRead;
    QTest::newRow("negative long length") << Header + hex("0cfeffffff") + QByteArray(40, 'n') << NotePages{}
                                          << Failure::EReadError << invalid;
    QTest::newRow("2 GB length in a short file") << Header + hex("0c0000007f") + hex("0600") << NotePages{}
                                                 << Failure::EReadError << shortRead;
}

void TestNoteFile::read()
{
    QFETCH(QByteArray, data);
    QFETCH(NotePages, pages);
    QFETCH(Failure, failure);
    QFETCH(QString, message);
    try {
        const NotePages read = pagesFromBytes(data);
        QCOMPARE(failure, Failure::None);
        QCOMPARE(read, pages);
    } catch (const Exception &e) {
        QCOMPARE(e.message(), message);
        const bool isReadError = dynamic_cast<const EReadError *>(&e) != nullptr;
        QCOMPARE(isReadError ? Failure::EReadError : Failure::Exception, failure);
    }
}

void TestNoteFile::roundTripRandomPads_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {7u, 8u, 9u, 31337u})
        QTest::newRow(qPrintable(QString::number(seed))) << seed;
}

void TestNoteFile::roundTripRandomPads()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    NotePages pages;
    const int count = random.bounded(1, 30);
    for (int i = 0; i < count; ++i)
        pages.append({randomText(random, NoteFile::MaxNameBytes), randomText(random, 70000)});

    const QByteArray bytes = bytesFromPages(pages);
    QCOMPARE(pagesFromBytes(bytes), pages);
    // A load followed by a save writes the same bytes again.
    QCOMPARE(bytesFromPages(pagesFromBytes(bytes)), bytes);
}

void TestNoteFile::windows1252_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("e acute, euro") << hex("e980") << QString::fromUtf16(u"\u00e9\u20ac");
    QTest::newRow("Cafe") << QByteArray("Caf\xe9") << QString::fromUtf16(u"Caf\u00e9");
    QTest::newRow("quotes and dashes") << hex("9394969791") << QString::fromUtf16(u"\u201c\u201d\u2013\u2014\u2018");
    QTest::newRow("trade mark, Y diaeresis") << hex("999f") << QString::fromUtf16(u"\u2122\u0178");
    QTest::newRow("undefined bytes") << hex("818d8f909d") << QString::fromUtf16(u"\u0081\u008d\u008f\u0090\u009d");
    QTest::newRow("Latin-1 part") << hex("a0bfc0ff") << QString::fromUtf16(u"\u00a0\u00bf\u00c0\u00ff");
    QTest::newRow("overlong NUL") << hex("c080") << QString::fromUtf16(u"\u00c0\u20ac");
    QTest::newRow("encoded surrogate") << hex("eda080") << QString::fromUtf16(u"\u00ed\u00a0\u20ac");
    QTest::newRow("cut sequence") << hex("41e282") << QString::fromUtf16(u"A\u00e2\u201a");
    QTest::newRow("valid UTF-8 stays UTF-8") << hex("c3a9e282ac") << QString::fromUtf16(u"\u00e9\u20ac");
    QTest::newRow("BOM kept") << hex("efbbbf41") << QString(QChar(0xFEFF)) + QLatin1Char('A');
    // One stray byte leaves the valid UTF-8 around it alone.
    QTest::newRow("emoji, stray byte") << hex("f09f9880206f6b20ff") << QString::fromUtf16(u"\U0001F600 ok \u00ff");
    QTest::newRow("cut emoji before ASCII") << hex("f09f9841") << QString::fromUtf16(u"\u00f0\u0178\u02dcA");
}

void TestNoteFile::windows1252()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);
    const char length = char(stored.size());
    const QByteArray file = Header + hex("06") + QByteArray(1, length) + stored + hex("06") + QByteArray(1, length)
                            + stored + hex("00");
    const NotePages pages = pagesFromBytes(file);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages.at(0).name, expected);
    QCOMPARE(pages.at(0).text, expected);
}

void TestNoteFile::nameCut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("stored");

    const QString a = QStringLiteral("a");
    const QString eAcute = QString(QChar(0xE9));  // 2 bytes
    const QString euro = QString(QChar(0x20AC));  // 3 bytes
    const QString grin = QString::fromUtf8("\xF0\x9F\x98\x80"); // 4 bytes, a surrogate pair

    QTest::newRow("4095 bytes kept") << a.repeated(4095) << QByteArray(4095, 'a');
    QTest::newRow("4096 bytes cut") << a.repeated(4096) << QByteArray(4095, 'a');
    QTest::newRow("10000 bytes cut") << a.repeated(10000) << QByteArray(4095, 'a');
    QTest::newRow("two-byte char across the limit") << a.repeated(4094) + eAcute << QByteArray(4094, 'a');
    QTest::newRow("two-byte chars only") << eAcute.repeated(2048) << hex("c3a9").repeated(2047);
    QTest::newRow("three-byte char across the limit") << a.repeated(4093) + euro << QByteArray(4093, 'a');
    QTest::newRow("three-byte char ending at the limit") << a.repeated(4092) + euro + a
                                                         << QByteArray(4092, 'a') + hex("e282ac");
    QTest::newRow("surrogate pair across the limit") << a.repeated(4092) + grin << QByteArray(4092, 'a');
    QTest::newRow("surrogate pair ending at the limit") << a.repeated(4091) + grin + a
                                                        << QByteArray(4091, 'a') + hex("f09f9880");
}

void TestNoteFile::nameCut()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, stored);
    const QByteArray bytes = bytesFromPages({{name, QStringLiteral("x")}});
    const QByteArray expected = Header + hex("0c") + QByteArray(1, char(stored.size() & 0xff))
                                + QByteArray(1, char(stored.size() >> 8)) + hex("0000") + stored + hex("060178")
                                + hex("00");
    QCOMPARE(bytes, expected);
}

void TestNoteFile::textsAreNotCut()
{
    const NotePages pages{{QStringLiteral("n"), QString(QChar(0x20AC)).repeated(30000)}};
    const NotePages read = pagesFromBytes(bytesFromPages(pages));
    QCOMPARE(read, pages);
}

void TestNoteFile::writeToShortDevice()
{
    ShortDevice out(1000);
    try {
        NoteFile::write(out, {{QStringLiteral("Memo"), QString(5000, QLatin1Char('x'))}});
        QFAIL("no EWriteError");
    } catch (const EWriteError &e) {
        QCOMPARE(e.message(), QStringLiteral("Stream write error"));
    }
}

void TestNoteFile::loadMissingFileCreatesNothing()
{
    QVERIFY(!NoteFile(dataPath()).load().has_value());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestNoteFile::saveThenLoad()
{
    const NoteFile file(dataPath());
    const NotePages pages{{QStringLiteral("Memo"), QString()}};
    file.save(pages);
    QCOMPARE(readAll(dataPath()), hex("060b544b572d50696e6e6f7465020101" "06044d656d6f0600" "00"));
    QCOMPARE(file.load(), std::optional<NotePages>(pages));
    // The lock lives elsewhere: no lock or temporary file is left beside the data file.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QString::fromLatin1(NoteFile::FileName)});
}

void TestNoteFile::saveReplacesWholeFile()
{
    QVERIFY(writeAll(dataPath(), QByteArray(100000, '#')));
    const NotePages pages{{QStringLiteral("A"), QStringLiteral("b")}};
    NoteFile(dataPath()).save(pages);
    QCOMPARE(readAll(dataPath()), Header + hex("060141") + hex("060162") + hex("00"));
}

void TestNoteFile::saveKeepsMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0600") << 0600;
    QTest::newRow("0640") << 0640;
    QTest::newRow("0604") << 0604;
    QTest::newRow("0664") << 0664;
    QTest::newRow("0200") << 0200;
    QTest::newRow("0020") << 0020;
}

void TestNoteFile::saveKeepsMode()
{
    QFETCH(int, mode);
    QVERIFY(writeAll(dataPath(), Header + hex("00")));
    QCOMPARE(::chmod(QFile::encodeName(dataPath()).constData(), mode_t(mode)), 0);
    NoteFile(dataPath()).save({{QStringLiteral("m"), QString()}});
    QCOMPARE(modeOf(dataPath()), mode_t(mode));
    QCOMPARE(readAll(dataPath()), Header + hex("06016d") + hex("0600") + hex("00"));
}

void TestNoteFile::saveKeepsOwner()
{
    if (::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    const uid_t otherUser = 4321;
    const gid_t otherGroup = 4322;
    QVERIFY(writeAll(dataPath(), Header + hex("00")));
    QCOMPARE(::chown(QFile::encodeName(dataPath()).constData(), otherUser, otherGroup), 0);
    NoteFile(dataPath()).save({{QStringLiteral("o"), QString()}});
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(dataPath()).constData(), &status), 0);
    QCOMPARE(status.st_uid, otherUser);
    QCOMPARE(status.st_gid, otherGroup);
}

void TestNoteFile::saveFollowsSymlink()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("real")));
    const QString target = m_dir->filePath(QStringLiteral("real/notes.set"));
    QVERIFY(writeAll(target, Header + hex("00")));
    QVERIFY(QFile::link(target, dataPath()));

    const NotePages pages{{QStringLiteral("L"), QStringLiteral("k")}};
    NoteFile(dataPath()).save(pages);
    QVERIFY(QFileInfo(dataPath()).isSymLink());
    QCOMPARE(readAll(target), Header + hex("06014c") + hex("06016b") + hex("00"));
    QCOMPARE(NoteFile(dataPath()).load(), std::optional<NotePages>(pages));
}

void TestNoteFile::failures_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<LoadOutcome>("load");

    QTest::newRow("read-only file") << Setup::ReadOnlyFile << LoadOutcome::Pages;
    QTest::newRow("no write bits, execute bits") << Setup::NoWriteBitsButExecute << LoadOutcome::Pages;
    QTest::newRow("data file is a directory") << Setup::DataFileIsDirectory << LoadOutcome::OpenError;
    QTest::newRow("data file is a FIFO") << Setup::DataFileIsFifo << LoadOutcome::OpenError;
    QTest::newRow("directory removed") << Setup::DirectoryRemoved << LoadOutcome::Missing;
    QTest::newRow("path below a regular file") << Setup::PathBelowRegularFile << LoadOutcome::Missing;
    QTest::newRow("another user's link in an open folder") << Setup::ForeignLinkInOpenFolder << LoadOutcome::Missing;
    QTest::newRow("another user's dangling link in an open folder")
        << Setup::ForeignDanglingLinkInOpenFolder << LoadOutcome::Missing;
}

void TestNoteFile::failures()
{
    QFETCH(Setup, setup);
    QFETCH(LoadOutcome, load);

    const NotePages old{{QStringLiteral("Old"), QStringLiteral("page")}};
    const QByteArray oldBytes = Header + hex("06034f6c64") + hex("060470616765") + hex("00");
    QString path = dataPath();
    QString untouched; // a regular file whose bytes must survive
    switch (setup) {
    case Setup::ReadOnlyFile:
    case Setup::NoWriteBitsButExecute:
        QVERIFY(writeAll(path, bytesFromPages(old)));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), setup == Setup::ReadOnlyFile ? 0444 : 0555), 0);
        untouched = path;
        break;
    case Setup::DataFileIsDirectory:
        QVERIFY(QDir(m_dir->path()).mkdir(QString::fromLatin1(NoteFile::FileName)));
        QVERIFY(writeAll(path + QStringLiteral("/inside"), oldBytes));
        untouched = path + QStringLiteral("/inside");
        break;
    case Setup::DataFileIsFifo:
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0666), 0);
        break;
    case Setup::DirectoryRemoved:
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("gone")));
        path = m_dir->filePath(QStringLiteral("gone/Pinnote.set"));
        QVERIFY(QDir(m_dir->filePath(QStringLiteral("gone"))).removeRecursively());
        break;
    case Setup::PathBelowRegularFile:
        QVERIFY(writeAll(m_dir->filePath(QStringLiteral("plain")), oldBytes));
        path = m_dir->filePath(QStringLiteral("plain/Pinnote.set"));
        untouched = m_dir->filePath(QStringLiteral("plain"));
        break;
    case Setup::ForeignLinkInOpenFolder:
    case Setup::ForeignDanglingLinkInOpenFolder: {
        if (::geteuid() != 0)
            QSKIP("only root can give a link to another user");
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("private")));
        untouched = m_dir->filePath(QStringLiteral("private/target"));
        if (setup == Setup::ForeignLinkInOpenFolder)
            QVERIFY(writeAll(untouched, oldBytes));
        QVERIFY(QFile::link(untouched, path));
        QCOMPARE(::lchown(QFile::encodeName(path).constData(), 4321, 4321), 0);
        QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 01777), 0);
        if (setup == Setup::ForeignDanglingLinkInOpenFolder)
            untouched.clear();
        break;
    }
    }
    const QByteArray before = untouched.isEmpty() ? QByteArray() : readAll(untouched);
    const mode_t modeBefore = untouched.isEmpty() ? 0 : modeOf(untouched);
    const NoteFile file(path);

    switch (load) {
    case LoadOutcome::Pages:
        QCOMPARE(file.load(), std::optional<NotePages>(old));
        break;
    case LoadOutcome::Missing:
        QVERIFY(!file.load().has_value());
        break;
    case LoadOutcome::OpenError:
        try {
            file.load();
            QFAIL("no EFOpenError");
        } catch (const EFOpenError &e) {
            QCOMPARE(e.message(), QStringLiteral("Cannot open file ") + path);
        }
        break;
    }

    try {
        file.save({{QStringLiteral("New"), QStringLiteral("pages")}});
        QFAIL("no EFCreateError");
    } catch (const EFCreateError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot create file ") + path);
    }

    if (!untouched.isEmpty()) {
        QCOMPARE(readAll(untouched), before);
        QCOMPARE(modeOf(untouched), modeBefore);
    }
    if (setup == Setup::DataFileIsDirectory)
        QVERIFY(QFileInfo(path).isDir());
    if (setup == Setup::DataFileIsFifo)
        QVERIFY(isFifo(path));
    if (setup == Setup::DirectoryRemoved)
        QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
    if (setup == Setup::ForeignDanglingLinkInOpenFolder)
        QVERIFY(QDir(m_dir->filePath(QStringLiteral("private"))).isEmpty());
}

void TestNoteFile::saveFailingMidWriteKeepsOldFile()
{
    const NotePages old{{QStringLiteral("Old"), QString(20000, QLatin1Char('o'))}};
    NoteFile(dataPath()).save(old);
    const QByteArray before = readAll(dataPath());

    const NotePages big{{QStringLiteral("Big"), QString(300000, QLatin1Char('b'))}};
    bool failed = false;
    {
        FileSizeLimit limit(100000);
        QVERIFY(limit.isActive());
        try {
            NoteFile(dataPath()).save(big);
        } catch (const EWriteError &e) {
            failed = true;
            QCOMPARE(e.message(), QStringLiteral("Stream write error"));
        }
    }
    QVERIFY(failed);
    QCOMPARE(readAll(dataPath()), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QString::fromLatin1(NoteFile::FileName)});
}

void TestNoteFile::lockHeldByAnotherProcess_data()
{
    QTest::addColumn<bool>("copyOfOurs"); // else a flock on the note folder, which anyone who can read it may take
    QTest::newRow("another copy's lock") << true;
    QTest::newRow("a flock on the note folder") << false;
}

void TestNoteFile::lockHeldByAnotherProcess()
{
    QFETCH(bool, copyOfOurs);
    const NotePages old{{QStringLiteral("Held"), QStringLiteral("by another")}};
    NoteFile(dataPath()).save(old);
    const QByteArray before = readAll(dataPath());
    const NoteFile file(dataPath());

    FileLock folderLock;
    if (!copyOfOurs) {
        QCOMPARE(folderLock.acquire(m_dir->path(), std::chrono::milliseconds(0)), FileLock::Result::Locked);
        file.save(file.load().value());
        return;
    }
    QProcess holder;
    holder.start(QStringLiteral(PINNOTE_TOOLS_DIR "/notefile_child"), {QStringLiteral("hold"), dataPath()});
    QVERIFY(holder.waitForStarted());
    QVERIFY(waitForLine(holder, "locked"));

    try {
        file.load();
        QFAIL("no EFOpenError");
    } catch (const EFOpenError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot open file ") + dataPath());
    }
    try {
        file.save({{QStringLiteral("Mine"), QString()}});
        QFAIL("no EFCreateError");
    } catch (const EFCreateError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot create file ") + dataPath());
    }
    QCOMPARE(readAll(dataPath()), before);

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished());
    QCOMPARE(holder.exitCode(), 0);
    QCOMPARE(file.load(), std::optional<NotePages>(old));
}

void TestNoteFile::lockReleasedWhenHolderIsKilled()
{
    QProcess holder;
    holder.start(QStringLiteral(PINNOTE_TOOLS_DIR "/notefile_child"), {QStringLiteral("hold"), dataPath()});
    QVERIFY(holder.waitForStarted());
    QVERIFY(waitForLine(holder, "locked"));
    holder.kill();
    QVERIFY(holder.waitForFinished());

    const NotePages pages{{QStringLiteral("After"), QStringLiteral("kill")}};
    NoteFile(dataPath()).save(pages);
    QCOMPARE(NoteFile(dataPath()).load(), std::optional<NotePages>(pages));
}

// A folder that can be searched but not read still gives up the file in it.
void TestNoteFile::loadFromUnreadableDirectory()
{
    if (::geteuid() != 0)
        QSKIP("needs root to start the loader as another user");
    const uid_t nobody = 65534;
    const QString dir = m_dir->filePath(QStringLiteral("search-only"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("search-only")));
    const QString path = dir + QStringLiteral("/Pinnote.set");
    NoteFile(path).save({{QStringLiteral("One"), QString()}, {QStringLiteral("Two"), QString()}});
    QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0711), 0);
    QCOMPARE(::chmod(QFile::encodeName(dir).constData(), 0711), 0);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);

    // Relative, so that the folders above the temporary one need not be searchable by nobody.
    QProcess loader;
    loader.setWorkingDirectory(m_dir->path());
    loader.start(QStringLiteral(PINNOTE_TOOLS_DIR "/notefile_child"),
                 {QStringLiteral("load-as"), QString::number(nobody), QStringLiteral("search-only/Pinnote.set")});
    QVERIFY(loader.waitForFinished(-1));
    QCOMPARE(loader.readAllStandardOutput().trimmed(), QByteArray("pages 2"));
}

QTEST_GUILESS_MAIN(TestNoteFile)
#include "tst_notefile.moc"
