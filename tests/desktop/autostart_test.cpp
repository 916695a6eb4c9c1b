// Start at logon: the entry's exact text, and adding and removing it in a temporary config folder.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "desktop/autostart.h"

using namespace zelvant::desktop;

class AutostartTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir_;
    QString Folder() const { return dir_->path() + QStringLiteral("/config/autostart"); }
    QString Entry() const { return Folder() + QStringLiteral("/zelvant.desktop"); }

  private slots:
    void init() {
        QVERIFY(dir_.emplace().isValid());
        qputenv("XDG_CONFIG_HOME", QByteArray(dir_->path().toLocal8Bit() + "/config"));
        QCOMPARE(AutostartEntryPath(), Entry());
    }

    void entryTextRunsTheRealProgram() {
        // Exec and TryExec as the file has them, escapes and all.
        const auto text = [](const QString& exec, const QString& tryExec) {
            return QStringLiteral(
                       "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Zelvant\n"
                       "Comment=Password manager\nExec=%1\nTryExec=%2\nIcon=org.quillmere.Zelvant\n"
                       "Terminal=false\nX-GNOME-Autostart-enabled=true\n")
                .arg(exec, tryExec);
        };
        QCOMPARE(AutostartEntryText("/opt/My Apps/1%u/z"),
                 text("\"/opt/My Apps/1%%u/z\"", "/opt/My Apps/1%u/z"));
        QCOMPARE(AutostartEntryText("/o/a\"b$c"), text("\"/o/a\\\\\"b\\\\$c\"", "/o/a\"b$c"));
        QCOMPARE(AutostartEntryText("/o/b\\s"), text("\"/o/b\\\\\\\\s\"", "/o/b\\\\s"));
        QCOMPARE(AutostartEntryText("/home/zoë/z"), text("/home/zoë/z", "/home/zoë/z"));

        const QString real = QFileInfo(dir_->path()).canonicalFilePath() + "/real place/zelvant";
        const QString link = dir_->path() + QStringLiteral("/zelvant-link");
        QVERIFY(QDir().mkpath(QFileInfo(real).path()) && QFile(real).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(real, link));
        QVERIFY(AutostartEntryText(link).contains("\nTryExec=" + real + "\n"));
        QCOMPARE(AutostartProgramPath(),
                 QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
        qputenv("APPIMAGE", link.toLocal8Bit());  // the image, not the mount it runs from
        QCOMPARE(AutostartProgramPath(), real);
        qunsetenv("APPIMAGE");
    }

    void addWritesAndRemoveDeletesOnlyTheEntry() {
        QString error = QStringLiteral("untouched");
        QVERIFY(RemoveAutostartEntry(&error));  // no folders at all yet
        QVERIFY(AddAutostartEntry(QStringLiteral("/usr/bin/zelvant"), &error));
        QVERIFY(QFile(Folder() + QStringLiteral("/other.desktop")).open(QIODevice::WriteOnly));
        QVERIFY(AddAutostartEntry(QStringLiteral("/opt/new place/zelvant"), &error));
        QFile entry(Entry());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QCOMPARE(entry.readAll(), AutostartEntryText("/opt/new place/zelvant").toUtf8());
        QVERIFY(RemoveAutostartEntry(&error));
        QCOMPARE(QDir(Folder()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"other.desktop"});
        QVERIFY(RemoveAutostartEntry(&error));  // already off
        QCOMPARE(error, QStringLiteral("untouched"));
    }

    void unwritablePlaceIsReported_data() {
        QTest::addColumn<bool>("fileForFolder");
        QTest::newRow("file where the folder belongs") << true;
        QTest::newRow("folder where the entry belongs") << false;
    }
    void unwritablePlaceIsReported() {
        QFETCH(bool, fileForFolder);
        QVERIFY(QDir().mkpath(fileForFolder ? QFileInfo(Folder()).path() : Entry()));
        QVERIFY(!fileForFolder || QFile(Folder()).open(QIODevice::WriteOnly));
        QString addError, removeError;
        QVERIFY(!AddAutostartEntry(QStringLiteral("/usr/bin/zelvant"), &addError));
        QVERIFY(!RemoveAutostartEntry(&removeError));
        // The entry is named, not a registry key this desktop does not have.
        QCOMPARE(
            addError,
            QStringLiteral("The autostart entry %1 could not be written or removed.").arg(Entry()));
        QCOMPARE(removeError, addError);
        QVERIFY(fileForFolder ? QFileInfo(Folder()).isFile() : QFileInfo(Entry()).isDir());
    }
};

QTEST_GUILESS_MAIN(AutostartTest)
#include "autostart_test.moc"
