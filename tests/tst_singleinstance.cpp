// One copy of Pinnote per note file: a later copy for the same file, by any path, waits
// two seconds for the running one, and what a crashed copy left behind, or another user
// planted, blocks nothing.

#include "app/SingleInstance.h"
#include "storage/FileLock.h"
#include "support/OtherUser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;

using Claim = SingleInstance::Claim;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void laterCopyOfTheSameFile_data();
    void laterCopyOfTheSameFile();
    void leftoversOfACrashedCopyDoNotBlock();
    void deepRuntimeFolderStillAnswers();
    void plantedByAnotherUser_data();
    void plantedByAnotherUser();
};

namespace {

enum Plant { ForeignFolder, SymlinkAtFolder, OwnFolderLeftOpen, SymlinkAtLock, AnsweringSocketInOwnFolder };

// Sets a variable for the life of the object, then puts it back as it was.
class ScopedVariable
{
public:
    ScopedVariable(const char *name, const std::optional<QByteArray> &value)
        : m_name(name)
        , m_saved(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedVariable() { m_saved ? qputenv(m_name, *m_saved) : qunsetenv(m_name); }

private:
    const char *m_name;
    std::optional<QByteArray> m_saved;
};

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

mode_t modeOf(const QString &path)
{
    struct stat status{};
    ::lstat(native(path).constData(), &status);
    return status.st_mode & 07777;
}

} // namespace

void TestSingleInstance::laterCopyOfTheSameFile_data()
{
    QTest::addColumn<QString>("secondPath");
    QTest::newRow("same path") << QStringLiteral("Pinnote.set");
    QTest::newRow("folder through a symlink") << QStringLiteral("link/Pinnote.set");
}

// Nothing answers here (this thread is the one that would), so the later copy gives up.
void TestSingleInstance::laterCopyOfTheSameFile()
{
    QFETCH(QString, secondPath);
    QTemporaryDir dir;
    QVERIFY(QFile::link(dir.path(), dir.filePath(QStringLiteral("link"))));
    SingleInstance first(dir.filePath(QStringLiteral("Pinnote.set")));
    QCOMPARE(first.claim(), Claim::First);

    SingleInstance second(dir.filePath(secondPath));
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(second.claim(), Claim::OtherSilent);
    QVERIFY2(waited.elapsed() >= 1900, "gave up before the running copy had its two seconds");
}

void TestSingleInstance::leftoversOfACrashedCopyDoNotBlock()
{
    QTemporaryDir dir;
    SingleInstance copy(dir.filePath(QStringLiteral("Pinnote.set")));
    QFile lock(copy.lockPath());
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.close();
    // A socket file nobody listens on, as a killed copy leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(copy.serverPath());
    QVERIFY(fd >= 0 && size_t(native.size()) < sizeof(address.sun_path));
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);

    QCOMPARE(copy.claim(), Claim::First);
    QLocalSocket probe;
    probe.connectToServer(copy.serverPath());
    QVERIFY(probe.waitForConnected(5000));
}

// A runtime folder whose socket path would overflow sockaddr_un.
void TestSingleInstance::deepRuntimeFolderStillAnswers()
{
    QTemporaryDir dir;
    const QString deep = dir.filePath(QString(120, QLatin1Char('r')));
    QVERIFY(QDir().mkpath(deep));
    const std::optional<QByteArray> saved = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")
        ? std::optional(qgetenv("XDG_RUNTIME_DIR")) : std::nullopt;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(deep));
    SingleInstance copy(dir.filePath(QStringLiteral("Pinnote.set")));
    saved ? qputenv("XDG_RUNTIME_DIR", *saved) : qunsetenv("XDG_RUNTIME_DIR");

    QCOMPARE(copy.claim(), Claim::First);
    QLocalSocket probe;
    probe.connectToServer(copy.serverPath());
    QVERIFY(probe.waitForConnected(5000));
}

void TestSingleInstance::plantedByAnotherUser_data()
{
    QTest::addColumn<int>("plant");
    QTest::addColumn<bool>("inTemporaryFolder"); // else in the cache folder
    QTest::addColumn<Claim>("expected");
    QTest::newRow("another user's folder with a lock and an answering socket") << int(ForeignFolder) << false << Claim::First;
    QTest::newRow("symlink under the folder's name") << int(SymlinkAtFolder) << false << Claim::First;
    QTest::newRow("own folder left open") << int(OwnFolderLeftOpen) << true << Claim::First;
    QTest::newRow("symlink under the lock's name") << int(SymlinkAtLock) << true << Claim::First;
    QTest::newRow("another user's socket under the socket's name") << int(AnsweringSocketInOwnFolder) << true
                                                                   << Claim::OtherSilent;
}

// Without a runtime folder the lock and socket go into a folder of the user's own in the
// temporary folder, which `nobody` can write to as well.
void TestSingleInstance::plantedByAnotherUser()
{
    QFETCH(int, plant);
    QFETCH(bool, inTemporaryFolder);
    QFETCH(Claim, expected);
    if (!OtherUser::available())
        QSKIP("acting as another user needs root");

    QTemporaryDir dir;
    const QString temporary = dir.filePath(QStringLiteral("tmp"));
    const QString theirs = dir.filePath(QStringLiteral("theirs"));
    QVERIFY(QDir().mkpath(temporary) && QDir().mkpath(theirs));
    QVERIFY(::chmod(native(dir.path()), 0755) == 0 && ::chmod(native(temporary), 01777) == 0
            && ::chown(native(theirs), OtherUser::Uid, OtherUser::Gid) == 0);
    const QString notes = dir.filePath(QStringLiteral("Pinnote.set"));

    // The names the lock and the socket get, wherever they go.
    QString lockName, socketName;
    {
        const QString runtime = dir.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime) && ::chmod(native(runtime), 0700) == 0);
        const ScopedVariable runtimeVariable("XDG_RUNTIME_DIR", native(runtime));
        const SingleInstance names(notes);
        lockName = QFileInfo(names.lockPath()).fileName();
        socketName = QFileInfo(names.serverPath()).fileName();
    }
    const ScopedVariable noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    const ScopedVariable tmp("TMPDIR", native(temporary));
    const ScopedVariable cache("XDG_CACHE_HOME", native(dir.filePath(QStringLiteral("cache"))));
    const QString folder = temporary + QStringLiteral("/pinnote-%1").arg(::geteuid());
    const QByteArray asked = native(theirs + QStringLiteral("/asked"));
    const QByteArray lockTarget = native(theirs + QStringLiteral("/lock-target"));
    // Worked out here: the other user's child keeps to system calls.
    const QByteArray folderBytes = native(folder), lockBytes = native(folder + '/' + lockName), theirBytes = native(theirs);

    std::optional<OtherUser::AnsweringSocket> socket;
    FileLock held;
    switch (Plant(plant)) {
    case ForeignFolder:
        QVERIFY(OtherUser::run([&] {
            return ::mkdir(folderBytes, 0777) == 0 && ::chmod(folderBytes, 0777) == 0
                   && ::close(::open(lockBytes, O_CREAT | O_WRONLY, 0666)) == 0;
        }));
        socket.emplace(native(folder + '/' + socketName), asked);
        break;
    case SymlinkAtFolder:
        QVERIFY(OtherUser::run([&] { return ::symlink(theirBytes, folderBytes) == 0; }));
        break;
    case OwnFolderLeftOpen:
        QVERIFY(::mkdir(native(folder), 0777) == 0 && ::chmod(native(folder), 0777) == 0);
        break;
    case SymlinkAtLock:
        QVERIFY(::mkdir(native(folder), 0777) == 0 && ::chmod(native(folder), 0777) == 0);
        QVERIFY(OtherUser::run([&] { return ::symlink(lockTarget, lockBytes) == 0; }));
        break;
    case AnsweringSocketInOwnFolder:
        // A copy of the user's holds the lock, and the folder was open while `nobody` came by.
        QVERIFY(::mkdir(native(folder), 0777) == 0 && ::chmod(native(folder), 0777) == 0);
        QVERIFY(::close(::open(native(folder + '/' + lockName), O_CREAT | O_WRONLY, 0600)) == 0);
        QCOMPARE(held.acquire(QString(folder + '/' + lockName), 0ms), FileLock::Result::Locked);
        socket.emplace(native(folder + '/' + socketName), asked);
        break;
    }
    if (socket)
        QVERIFY(socket->isListening());

    SingleInstance copy(notes);
    QCOMPARE(copy.folderPath(), inTemporaryFolder ? folder : dir.filePath(QStringLiteral("cache/pinnote")));
    QCOMPARE(copy.claim(300ms), expected);
    QCOMPARE(modeOf(copy.folderPath()), mode_t(0700));
    QVERIFY2(!socket || !socket->wasAsked(), "spoke to another user's socket");
    QVERIFY2(!QFileInfo::exists(QFile::decodeName(lockTarget)), "created a file through a symlink");
    QCOMPARE(QDir(theirs).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    if (expected == Claim::First) {
        QLocalSocket probe;
        probe.connectToServer(copy.serverPath());
        QVERIFY(probe.waitForConnected(5000));
    }
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
