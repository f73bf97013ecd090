// cmake --install into a scratch root, then the installed files checked by the
// desktop's own validators, as a distribution would.

#include "app/BuildInfo.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "support/RequiredPrograms.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral(PINNOTE_APP_ID);
const QString DesktopEntry = QStringLiteral("share/applications/") + AppId + QStringLiteral(".desktop");
const QString Metainfo = QStringLiteral("share/metainfo/") + AppId + QStringLiteral(".metainfo.xml");
const QString ManPage = QStringLiteral("share/man/man1/pinnote.1.gz");

struct Run
{
    int exitCode = -1;
    QByteArray out, err;
};

Run run(const QString &program, const QStringList &arguments, const QString &destDir = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (!destDir.isEmpty())
        env.insert(QStringLiteral("DESTDIR"), destDir);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit)
        result = {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    return result;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles_data();
    void installedFiles();
    void oneIdEverywhere();
    void validates_data();
    void validates();

private:
    QString installed(const QString &relative) const { return m_root.filePath(QStringLiteral("usr/") + relative); }

    QTemporaryDir m_root;
};

void TestInstall::initTestCase()
{
    PINNOTE_REQUIRE_PROGRAMS({"cmake", "cmake"}, {"desktop-file-validate", "desktop-file-utils"},
                             {"appstreamcli", "appstream"}, {"man", "man-db"});
    QVERIFY(m_root.isValid());
    const Run install = run(QStringLiteral("cmake"),
                            {QStringLiteral("--install"), QFileInfo(QStringLiteral(PINNOTE_BINARY)).absolutePath(),
                             QStringLiteral("--prefix"), QStringLiteral("/usr")},
                            m_root.path());
    QVERIFY2(install.exitCode == 0, install.err.constData());
}

void TestInstall::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("iconSize"); // 0: not a PNG icon
    QTest::newRow("program") << "bin/pinnote" << 0;
    QTest::newRow("desktop entry") << DesktopEntry << 0;
    QTest::newRow("metainfo") << Metainfo << 0;
    QTest::newRow("scalable icon") << QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(AppId) << 0;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dpx icon", size) << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId)
                                         << size;
    QTest::newRow("manual page") << ManPage << 0;
    QTest::newRow("copyright") << "share/doc/pinnote/copyright" << 0;
    QTest::newRow("changelog") << "share/doc/pinnote/changelog.gz" << 0;
}

void TestInstall::installedFiles()
{
    QFETCH(QString, path);
    QFETCH(int, iconSize);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile() && file.size() > 0, qPrintable(path));
    QCOMPARE(file.isExecutable(), path.startsWith(QLatin1String("bin/")));
    QVERIFY(file.permissions().testFlag(QFileDevice::ReadOther));
    if (iconSize) { // the drawing: its yellow sheet in the middle, the corners see-through
        const QImage image(file.filePath());
        QCOMPARE(image.size(), QSize(iconSize, iconSize));
        const QColor middle = image.pixelColor(iconSize * 2 / 5, iconSize * 4 / 5);
        QVERIFY2(middle.alpha() == 255 && middle.red() > 200 && middle.blue() < 120, qPrintable(middle.name()));
        QCOMPARE(image.pixelColor(iconSize - 1, 0).alpha(), 0);
    }
}

void TestInstall::oneIdEverywhere()
{
    const QSettings entry(installed(DesktopEntry), QSettings::IniFormat);
    QCOMPARE(entry.value(QStringLiteral("Desktop Entry/Icon")).toString(), AppId);
    const QString exec = entry.value(QStringLiteral("Desktop Entry/Exec")).toString();
    QVERIFY2(QFileInfo(installed(QStringLiteral("bin/") + exec)).isExecutable(), qPrintable(exec));

    QFile metainfo(installed(Metainfo));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    const QByteArray xml = metainfo.readAll(), id = AppId.toUtf8();
    QVERIFY(xml.contains("<id>" + id + "</id>"));
    QVERIFY(xml.contains(">" + id + ".desktop</launchable>"));
    QVERIFY(xml.contains(">" + id + "</icon>"));

    // The running program tells the desktop the same id, so Wayland shows its icon.
    Startup::initialiseApplication();
    QCOMPARE(QGuiApplication::desktopFileName(), AppId);
}

void TestInstall::validates_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList{DesktopEntry};
    QTest::newRow("metainfo") << "appstreamcli"
                              << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                                             QStringLiteral("--pedantic"), Metainfo};
    QTest::newRow("man page") << "man" << QStringList{QStringLiteral("--warnings"), QStringLiteral("-l"), ManPage};
}

// No error, no warning, not even a pedantic remark.
void TestInstall::validates()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    arguments.last() = installed(arguments.last());
    const Run check = run(program, arguments);
    QVERIFY2(check.exitCode == 0 && check.err.trimmed().isEmpty(), (check.out + check.err).constData());
    if (program == QLatin1String("man")) {
        QVERIFY(check.out.contains("pinnote - "));
        // The same version as the About box and the help.
        QVERIFY(check.out.contains("Pinnote " + QByteArray(TMainForm::VersionText)));
    } else {
        for (const char *remark : {"error", "warning", "pedantic"})
            QVERIFY2(!check.out.contains(remark), check.out.constData());
    }
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
