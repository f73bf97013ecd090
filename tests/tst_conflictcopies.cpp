#include "core/Exceptions.h"
#include "storage/ConflictCopies.h"

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
};

namespace {

using Engine = ConflictCopy::Engine;
using MaybeEngine = std::optional<Engine>;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Another file system than the build folder's, for the copy across file systems.
constexpr char OtherFileSystem[] = "/dev/shm";

} // namespace

void TestConflictCopies::recognise_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<MaybeEngine>("engine");

    QTest::newRow("syncthing") << "Pinnote.sync-conflict-20260115-143022-ABCDEFG.set" << MaybeEngine(Engine::Syncthing);
    QTest::newRow("nextcloud") << "Pinnote (conflicted copy 2026-01-15 143022).set" << MaybeEngine(Engine::Nextcloud);
    QTest::newRow("dropbox") << "Pinnote (Alice's conflicted copy 2026-01-15).set" << MaybeEngine(Engine::Dropbox);
    QTest::newRow("dropbox, typographic apostrophe")
        << QString::fromUtf8("Pinnote (Alice\u2019s conflicted copy 2026-01-15).set") << MaybeEngine(Engine::Dropbox);
    QTest::newRow("dropbox, second that day") << "Pinnote (Bob's conflicted copy 2026-01-15 (1)).set"
                                              << MaybeEngine(Engine::Dropbox);
    QTest::newRow("the note file itself") << "Pinnote.set" << MaybeEngine();
    QTest::newRow("another file's copy") << "Notes.sync-conflict-20260115-143022-ABCDEFG.set" << MaybeEngine();
    QTest::newRow("other case") << "pinnote.sync-conflict-20260115-143022-ABCDEFG.set" << MaybeEngine();
    QTest::newRow("other extension") << "Pinnote.sync-conflict-20260115-143022-ABCDEFG.txt" << MaybeEngine();
    QTest::newRow("syncthing, short date") << "Pinnote.sync-conflict-2026015-143022-ABCDEFG.set" << MaybeEngine();
    QTest::newRow("syncthing, short device") << "Pinnote.sync-conflict-20260115-143022-ABC.set" << MaybeEngine();
    QTest::newRow("syncthing temporary file") << ".syncthing.Pinnote.set.tmp" << MaybeEngine();
    QTest::newRow("nextcloud, no time") << "Pinnote (conflicted copy 2026-01-15).set" << MaybeEngine();
    QTest::newRow("dropbox, no owner") << "Pinnote ('s conflicted copy 2026-01-15).set" << MaybeEngine();
    QTest::newRow("trailing text") << "Pinnote (conflicted copy 2026-01-15 143022).set.bak" << MaybeEngine();
    QTest::newRow("leading text") << "Old Pinnote (conflicted copy 2026-01-15 143022).set" << MaybeEngine();
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
    for (int i = 0; i < newestLast.size(); ++i) {
        writeFile(dir.filePath(newestLast[i]), "x");
        QFile file(dir.filePath(newestLast[i]));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(start.addSecs(i), QFileDevice::FileModificationTime));
    }
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

    const QString name = QStringLiteral("Pinnote.sync-conflict-20260115-143022-ABCDEFG");
    for (const bool across : {false, true}) {
        const QByteArray how = across ? " across file systems" : "";
        QTest::newRow("free" + how) << QStringList() << across << name + QStringLiteral(".set");
        QTest::newRow("taken" + how) << QStringList{name + QStringLiteral(".set")} << across << name + QStringLiteral(" (2).set");
        QTest::newRow("taken twice" + how) << QStringList{name + QStringLiteral(".set"), name + QStringLiteral(" (2).set")} << across
                                           << name + QStringLiteral(" (3).set");
    }
}

void TestConflictCopies::moveNeverReplaces()
{
    QFETCH(QStringList, taken);
    QFETCH(bool, acrossFileSystems);
    QFETCH(QString, expected);

    QTemporaryDir synced;
    QTemporaryDir state(acrossFileSystems ? QString::fromLatin1(OtherFileSystem) + QStringLiteral("/pinnote-XXXXXX") : QString());
    QVERIFY(state.isValid());
    struct stat a {}, b {};
    QCOMPARE(::stat(QFile::encodeName(synced.path()).constData(), &a), 0);
    QCOMPARE(::stat(QFile::encodeName(state.path()).constData(), &b), 0);
    if ((a.st_dev != b.st_dev) != acrossFileSystems)
        QSKIP("no second file system here");

    const QString folder = state.filePath(QStringLiteral("pinnote"));
    QVERIFY(QDir().mkpath(folder));
    for (const QString &name : taken)
        writeFile(QDir(folder).filePath(name), name.toUtf8());
    const QString copy = synced.filePath(QStringLiteral("Pinnote.sync-conflict-20260115-143022-ABCDEFG.set"));
    const QByteArray contents = "the other machine's pad";
    writeFile(copy, contents);

    const QString moved = ConflictCopies::moveInto(copy, folder);
    QCOMPARE(moved, QDir(folder).filePath(expected));
    QCOMPARE(readFile(moved), contents);
    QVERIFY(!QFileInfo::exists(copy));
    for (const QString &name : taken)
        QCOMPARE(readFile(QDir(folder).filePath(name)), name.toUtf8());
}

void TestConflictCopies::moveMissingCopyFails()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("Pinnote (conflicted copy 2026-01-15 143022).set"));
    QVERIFY_THROWS_EXCEPTION(EFOpenError, ConflictCopies::moveInto(copy, dir.filePath(QStringLiteral("state"))));
}

QTEST_GUILESS_MAIN(TestConflictCopies)
#include "tst_conflictcopies.moc"
