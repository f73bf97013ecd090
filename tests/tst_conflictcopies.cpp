#include "core/Exceptions.h"
#include "storage/ConflictCopies.h"
#include "support/PadNotation.h"
#include "support/TestBytes.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(std::optional<ConflictCopy::Engine>)

class TestConflictCopies : public QObject
{
    Q_OBJECT

private slots:
    void recognise_data();
    void recognise();
    void listOldestFirst();
    void moveNeverReplaces_data();
    void moveNeverReplaces();
    void moveMissingCopyFails();
    void loadOnlyOwnFile_data();
    void loadOnlyOwnFile();
};

namespace {

using namespace Qt::StringLiterals;
using Engine = ConflictCopy::Engine;
using MaybeEngine = std::optional<Engine>;

void writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified = {})
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
    QVERIFY(!modified.isValid() || (file.flush() && file.setFileTime(modified, QFileDevice::FileModificationTime)));
}

// Another file system than the build folder's, for the copy across file systems.
constexpr char OtherFileSystem[] = "/dev/shm";

enum Standing { OwnFile, OverLimit, SymlinkToPad, HardLinkToPad, Fifo };

} // namespace

void TestConflictCopies::recognise_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<MaybeEngine>("engine");

    const MaybeEngine none, syncthing = Engine::Syncthing, nextcloud = Engine::Nextcloud, dropbox = Engine::Dropbox;
    QTest::newRow("syncthing") << "Pinnote.sync-conflict-20260115-143022-ABCDEFG.set" << syncthing;
    QTest::newRow("nextcloud") << "Pinnote (conflicted copy 2026-01-15 143022).set" << nextcloud;
    QTest::newRow("dropbox") << "Pinnote (Alice's conflicted copy 2026-01-15).set" << dropbox;
    QTest::newRow("dropbox, curly apostrophe") << u"Pinnote (Alice\u2019s conflicted copy 2026-01-15).set"_s << dropbox;
    QTest::newRow("dropbox, second that day") << "Pinnote (Bob's conflicted copy 2026-01-15 (1)).set" << dropbox;
    QTest::newRow("the note file itself") << "Pinnote.set" << none;
    QTest::newRow("another file's copy") << "Notes.sync-conflict-20260115-143022-ABCDEFG.set" << none;
    QTest::newRow("other case") << "pinnote.sync-conflict-20260115-143022-ABCDEFG.set" << none;
    QTest::newRow("other extension") << "Pinnote.sync-conflict-20260115-143022-ABCDEFG.txt" << none;
    QTest::newRow("syncthing, short date") << "Pinnote.sync-conflict-2026015-143022-ABCDEFG.set" << none;
    QTest::newRow("syncthing, short device") << "Pinnote.sync-conflict-20260115-143022-ABC.set" << none;
    QTest::newRow("syncthing temporary file") << ".syncthing.Pinnote.set.tmp" << none;
    QTest::newRow("nextcloud, no time") << "Pinnote (conflicted copy 2026-01-15).set" << none;
    QTest::newRow("dropbox, no owner") << "Pinnote ('s conflicted copy 2026-01-15).set" << none;
    QTest::newRow("trailing text") << "Pinnote (conflicted copy 2026-01-15 143022).set.bak" << none;
    QTest::newRow("leading text") << "Old Pinnote (conflicted copy 2026-01-15 143022).set" << none;
}

void TestConflictCopies::recognise()
{
    QFETCH(QString, name);
    QFETCH(MaybeEngine, engine);
    QCOMPARE(ConflictCopies::recognise(name), engine);
}

void TestConflictCopies::listOldestFirst()
{
    QTemporaryDir dir;
    const QStringList newestLast = {QStringLiteral("Pinnote (Zed's conflicted copy 2026-01-15).set"),
                                    QStringLiteral("Pinnote.sync-conflict-20260116-000000-ABCDEFG.set"),
                                    QStringLiteral("Pinnote (conflicted copy 2026-01-17 000000).set")};
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-3);
    for (int i = 0; i < newestLast.size(); ++i)
        writeFile(dir.filePath(newestLast[i]), "x", start.addSecs(i));
    writeFile(dir.filePath(QStringLiteral("Pinnote.set")), "x");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Pinnote (conflicted copy 2026-01-18 000000).set")));

    QStringList listed;
    for (const ConflictCopy &copy : ConflictCopies::list(dir.path()))
        listed.append(QFileInfo(copy.path).fileName());
    QCOMPARE(listed, newestLast);
}

void TestConflictCopies::moveNeverReplaces_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<bool>("acrossFileSystems");
    QTest::addColumn<QString>("expected");

    const QString name = u"Pinnote.sync-conflict-20260115-143022-ABCDEFG"_s;
    const QString first = name + u".set"_s, second = name + u" (2).set"_s;
    for (const bool across : {false, true}) {
        const QByteArray how = across ? " across file systems" : "";
        QTest::newRow("free" + how) << QStringList() << across << first;
        QTest::newRow("taken" + how) << QStringList{first} << across << second;
        QTest::newRow("taken twice" + how) << QStringList{first, second} << across << name + u" (3).set"_s;
    }
}

void TestConflictCopies::moveNeverReplaces()
{
    QFETCH(QStringList, taken);
    QFETCH(bool, acrossFileSystems);
    QFETCH(QString, expected);

    QTemporaryDir synced;
    QTemporaryDir state(acrossFileSystems ? QString::fromLatin1(OtherFileSystem) + u"/pinnote-XXXXXX"_s : QString());
    QVERIFY(state.isValid());
    struct stat a {}, b {};
    QVERIFY(::stat(QFile::encodeName(synced.path()), &a) == 0 && ::stat(QFile::encodeName(state.path()), &b) == 0);
    if ((a.st_dev != b.st_dev) != acrossFileSystems)
        QSKIP("no second file system here");

    const QString folder = state.filePath(u"pinnote"_s); // made by the move when nothing is taken
    QVERIFY(taken.isEmpty() || QDir().mkpath(folder));
    for (const QString &name : taken)
        writeFile(QDir(folder).filePath(name), name.toUtf8());
    const QString copy = synced.filePath(u"Pinnote.sync-conflict-20260115-143022-ABCDEFG.set"_s);
    writeFile(copy, "the other machine's pad");

    const QString moved = ConflictCopies::moveInto(copy, folder);
    QCOMPARE(moved, QDir(folder).filePath(expected));
    QCOMPARE(readAll(moved), QByteArray("the other machine's pad"));
    QVERIFY(!QFileInfo::exists(copy));
    for (const QString &name : taken)
        QCOMPARE(readAll(QDir(folder).filePath(name)), name.toUtf8());
}

void TestConflictCopies::moveMissingCopyFails()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("Pinnote (conflicted copy 2026-01-15 143022).set"));
    QVERIFY_THROWS_EXCEPTION(EFOpenError, ConflictCopies::moveInto(copy, dir.filePath(QStringLiteral("state"))));
}

void TestConflictCopies::loadOnlyOwnFile_data()
{
    QTest::addColumn<int>("standing");
    QTest::newRow("own file, as large as allowed") << int(OwnFile);
    QTest::newRow("a byte larger") << int(OverLimit);
    QTest::newRow("symlink to the user's pad") << int(SymlinkToPad);
    QTest::newRow("hard link to the user's pad") << int(HardLinkToPad);
    QTest::newRow("FIFO") << int(Fifo);
}

void TestConflictCopies::loadOnlyOwnFile()
{
    QFETCH(int, standing);
    QTemporaryDir dir;
    const QString pad = dir.filePath(u"Pinnote.set"_s);
    const QString copy = dir.filePath(u"Pinnote.sync-conflict-20260115-143022-ABCDEFG.set"_s);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    NoteFile::write(buffer, padFrom(u"Shop=eggs"_s));
    writeFile(standing <= OverLimit ? copy : pad, bytes);
    const QByteArray from = QFile::encodeName(pad), at = QFile::encodeName(copy);
    QVERIFY(standing != SymlinkToPad || ::symlink(from, at) == 0);
    QVERIFY(standing != HardLinkToPad || ::link(from, at) == 0);
    QVERIFY(standing != Fifo || ::mkfifo(at, 0600) == 0);
    const qint64 limit = bytes.size() - (standing == OverLimit ? 1 : 0);
    if (standing == OwnFile)
        QCOMPARE(notationOf(ConflictCopies::load(copy, limit)), u"Shop=eggs"_s);
    else
        QVERIFY_THROWS_EXCEPTION(EFOpenError, ConflictCopies::load(copy, limit));
}

QTEST_GUILESS_MAIN(TestConflictCopies)
#include "tst_conflictcopies.moc"
