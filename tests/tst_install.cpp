// cmake --install into a scratch root, then the installed files checked by the
// desktop's own validators, as a distribution would.

#include "app/BuildInfo.h"
#include "app/Main.h"
#include "app/Startup.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral(PINNOTE_APP_ID);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {})
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(30000) || !process.waitForFinished(300000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace

// A missing validator fails the test at once, naming what to install.
#define REQUIRE_PROGRAM(program, package)                                                            \
    do {                                                                                              \
        if (QStandardPaths::findExecutable(QStringLiteral(program)).isEmpty())                        \
            QFAIL(program " is not installed (Debian package " package ")");                          \
    } while (false)

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles_data();
    void installedFiles();
    void iconSizes_data();
    void iconSizes();
    void oneIdEverywhere();
    void desktopEntryValidates();
    void metainfoValidates();
    void manPageFormatsWithoutWarnings();

private:
    QString installed(const QString &relative) const { return m_root.filePath(QStringLiteral("usr/") + relative); }

    QTemporaryDir m_root;
};

void TestInstall::initTestCase()
{
    REQUIRE_PROGRAM("cmake", "cmake");
    QVERIFY(m_root.isValid());
    const QString buildDir = QFileInfo(QStringLiteral(PINNOTE_BINARY)).absolutePath();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_root.path());
    const Run install = run(QStringLiteral("cmake"),
                            {QStringLiteral("--install"), buildDir, QStringLiteral("--prefix"), QStringLiteral("/usr")}, env);
    QVERIFY2(install.exitCode == 0, install.err.constData());
}

void TestInstall::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << "bin/pinnote" << true;
    QTest::newRow("desktop entry") << "share/applications/" + AppId + ".desktop" << false;
    QTest::newRow("metainfo") << "share/metainfo/" + AppId + ".metainfo.xml" << false;
    QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/" + AppId + ".svg" << false;
    QTest::newRow("manual page") << "share/man/man1/pinnote.1.gz" << false;
    QTest::newRow("copyright") << "share/doc/pinnote/copyright" << false;
    QTest::newRow("changelog") << "share/doc/pinnote/changelog.gz" << false;
}

void TestInstall::installedFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile() && file.size() > 0, qPrintable(path));
    QCOMPARE(file.isExecutable(), executable);
    QVERIFY(file.permissions().testFlag(QFileDevice::ReadOther));
}

void TestInstall::iconSizes_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestInstall::iconSizes()
{
    QFETCH(int, size);
    const QString path = installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId));
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), QSize(size, size));
    // The drawing is there: its yellow sheet in the middle, the corners see-through.
    const QColor middle = image.pixelColor(size * 2 / 5, size * 4 / 5);
    QVERIFY2(middle.alpha() == 255 && middle.red() > 200 && middle.green() > 180 && middle.blue() < 120,
             qPrintable(middle.name(QColor::HexArgb)));
    QCOMPARE(image.pixelColor(size - 1, 0).alpha(), 0);
}

void TestInstall::oneIdEverywhere()
{
    const QSettings entry(installed(QStringLiteral("share/applications/") + AppId + QStringLiteral(".desktop")),
                          QSettings::IniFormat);
    QCOMPARE(entry.value(QStringLiteral("Desktop Entry/Icon")).toString(), AppId);
    const QString exec = entry.value(QStringLiteral("Desktop Entry/Exec")).toString();
    QVERIFY2(QFileInfo(installed(QStringLiteral("bin/") + exec)).isExecutable(), qPrintable(exec));

    QFile metainfo(installed(QStringLiteral("share/metainfo/") + AppId + QStringLiteral(".metainfo.xml")));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    const QByteArray xml = metainfo.readAll();
    QVERIFY(xml.contains("<id>" + AppId.toUtf8() + "</id>"));
    QVERIFY(xml.contains(">" + AppId.toUtf8() + ".desktop</launchable>"));
    QVERIFY(xml.contains(">" + AppId.toUtf8() + "</icon>"));

    // The running program tells the desktop the same id, so Wayland shows its icon.
    Startup::initialiseApplication();
    QCOMPARE(QGuiApplication::desktopFileName(), AppId);
}

void TestInstall::desktopEntryValidates()
{
    REQUIRE_PROGRAM("desktop-file-validate", "desktop-file-utils");
    const Run check = run(QStringLiteral("desktop-file-validate"),
                          {installed(QStringLiteral("share/applications/") + AppId + QStringLiteral(".desktop"))});
    QVERIFY2(check.exitCode == 0 && check.out.trimmed().isEmpty(), (check.out + check.err).constData());
}

void TestInstall::metainfoValidates()
{
    REQUIRE_PROGRAM("appstreamcli", "appstream");
    const Run check = run(QStringLiteral("appstreamcli"),
                          {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"),
                           installed(QStringLiteral("share/metainfo/") + AppId + QStringLiteral(".metainfo.xml"))});
    QVERIFY2(check.exitCode == 0, (check.out + check.err).constData());
    // Not even a pedantic remark.
    QVERIFY2(!check.out.contains("pedantic:") && !check.out.contains("warnings:") && !check.out.contains("errors:"),
             check.out.constData());
}

void TestInstall::manPageFormatsWithoutWarnings()
{
    REQUIRE_PROGRAM("man", "man-db");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    env.insert(QStringLiteral("MAN_KEEP_FORMATTING"), QString());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const Run page = run(QStringLiteral("man"),
                         {QStringLiteral("--warnings"), QStringLiteral("-l"),
                          installed(QStringLiteral("share/man/man1/pinnote.1.gz"))},
                         env);
    QVERIFY2(page.exitCode == 0, page.err.constData());
    QVERIFY2(page.err.trimmed().isEmpty(), page.err.constData());
    const QString text = QString::fromUtf8(page.out);
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("NAME\\s+pinnote - "))));
    // The same version as the About box and the help.
    QVERIFY(text.contains(QStringLiteral("Pinnote ") + QString::fromLatin1(TMainForm::VersionText)));
    QVERIFY(text.contains(QStringLiteral("Pinnote.set")));
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
