// One copy of Pinnote per note file: a later copy is told about the running one, copies
// in other folders are left alone, and what a crashed copy left behind blocks nothing.

#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using Claim = SingleInstance::Claim;

Q_DECLARE_METATYPE(SingleInstance::Claim)

namespace {

// A socket file nobody listens on, as a killed copy leaves it.
bool leaveDeadSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (fd < 0 || size_t(native.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFile::exists(path);
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void laterCopyOfTheSameFile_data();
    void laterCopyOfTheSameFile();
    void runningCopyIsAskedToComeForward();
    void copiesInOtherFoldersAreIndependent();
    void leftoversOfACrashedCopyDoNotBlock();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString notes(const QString &folder = QString()) const
    {
        return m_dir->filePath(folder.isEmpty() ? QStringLiteral("Pinnote.set") : folder + QStringLiteral("/Pinnote.set"));
    }
};

void TestSingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSingleInstance::laterCopyOfTheSameFile_data()
{
    QTest::addColumn<QString>("secondPath");
    QTest::newRow("same path") << QStringLiteral("Pinnote.set");
    QTest::newRow("dot in the path") << QStringLiteral("./Pinnote.set");
    QTest::newRow("folder through a symlink") << QStringLiteral("link/Pinnote.set");
}

// Nothing answers here (this thread is the one that would), so the later copy gives up.
void TestSingleInstance::laterCopyOfTheSameFile()
{
    QFETCH(QString, secondPath);
    QVERIFY(QFile::link(m_dir->path(), m_dir->filePath(QStringLiteral("link"))));
    SingleInstance first(notes());
    QCOMPARE(first.claim(), Claim::First);

    SingleInstance second(m_dir->filePath(secondPath));
    QCOMPARE(second.lockPath(), first.lockPath());
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(second.claim(), Claim::OtherSilent);
    QVERIFY2(waited.elapsed() >= 1900, "gave up before the running copy had its two seconds");
}

void TestSingleInstance::runningCopyIsAskedToComeForward()
{
    SingleInstance first(notes());
    QCOMPARE(first.claim(), Claim::First);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    SingleInstance second(notes());
    Claim answer = Claim::First;
    std::unique_ptr<QThread> later(QThread::create([&] { answer = second.claim(); }));
    later->start();
    QTRY_VERIFY(later->isFinished());
    QCOMPARE(answer, Claim::OtherRaised);
    QCOMPARE(raised.count(), 1);
}

void TestSingleInstance::copiesInOtherFoldersAreIndependent()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("a")));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("b")));
    SingleInstance first(notes(QStringLiteral("a")));
    SingleInstance second(notes(QStringLiteral("b")));
    QCOMPARE(first.claim(), Claim::First);
    QCOMPARE(second.claim(), Claim::First);
}

void TestSingleInstance::leftoversOfACrashedCopyDoNotBlock()
{
    SingleInstance copy(notes());
    QFile lock(copy.lockPath());
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.close();
    QVERIFY(leaveDeadSocket(copy.serverPath()));

    QCOMPARE(copy.claim(), Claim::First);
    // And it listens where the dead socket was.
    QLocalSocket probe;
    probe.connectToServer(copy.serverPath());
    QVERIFY(probe.waitForConnected(5000));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
