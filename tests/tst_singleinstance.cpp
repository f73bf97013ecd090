// One copy of Pinnote per note file: a later copy for the same file, by any path, waits
// two seconds for the running one, and what a crashed copy left behind blocks nothing.

#include "platform/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using Claim = SingleInstance::Claim;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void laterCopyOfTheSameFile_data();
    void laterCopyOfTheSameFile();
    void leftoversOfACrashedCopyDoNotBlock();
    void runtimeFolderPassedOver_data();
    void runtimeFolderPassedOver();
};

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

void TestSingleInstance::runtimeFolderPassedOver_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("depth");
    QTest::newRow("socket path would overflow sockaddr_un") << 0700 << 120;
    QTest::newRow("open to all, keeps its mode") << 01777 << 1;
    QTest::newRow("group-readable, keeps its mode") << 0750 << 1;
}

void TestSingleInstance::runtimeFolderPassedOver()
{
    QFETCH(int, mode);
    QFETCH(int, depth);
    QTemporaryDir dir;
    const QString deep = dir.filePath(QString(depth, QLatin1Char('r')));
    QVERIFY(QDir().mkpath(deep) && ::chmod(QFile::encodeName(deep).constData(), mode_t(mode)) == 0);
    const std::optional<QByteArray> saved = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")
        ? std::optional(qgetenv("XDG_RUNTIME_DIR")) : std::nullopt;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(deep));
    SingleInstance copy(dir.filePath(QStringLiteral("Pinnote.set")));
    saved ? qputenv("XDG_RUNTIME_DIR", *saved) : qunsetenv("XDG_RUNTIME_DIR");

    QVERIFY(copy.folderPath() != deep);
    QCOMPARE(copy.claim(), Claim::First);
    QLocalSocket probe;
    probe.connectToServer(copy.serverPath());
    QVERIFY(probe.waitForConnected(5000));
    struct stat status;
    QVERIFY(::stat(QFile::encodeName(deep).constData(), &status) == 0 && (status.st_mode & 07777) == mode_t(mode));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
