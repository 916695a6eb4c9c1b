// Start at logon: the entry's text read back the way a session reads it, and adding and removing
// it in a configuration folder of the test's own.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "settings/desktop/autostart.h"

using namespace zelvant::desktop;

namespace {

const QString kMessage =
    QStringLiteral("Not found registry Software\\Microsoft\\Windows\\CurrentVersion\\Run");

// Key/value pairs of the entry, values with the string escapes undone.
QMap<QString, QString> ReadEntry(const QString& text, QString* group) {
    QMap<QString, QString> keys;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    *group = lines.value(0);
    for (const QString& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        QString value;
        const QString raw = line.mid(equals + 1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size()) {
                const QChar next = raw[++i];
                value += next == QLatin1Char('s')   ? QChar(u' ')
                         : next == QLatin1Char('n') ? QChar(u'\n')
                         : next == QLatin1Char('t') ? QChar(u'\t')
                         : next == QLatin1Char('r') ? QChar(u'\r')
                                                    : next;
            } else {
                value += raw[i];
            }
        }
        keys.insert(line.left(equals), value);
    }
    return keys;
}

// The program an unescaped one-argument Exec value runs, as a launcher reads it; "<bad>" when
// the quoting rules are broken.
QString ExecProgram(const QString& exec) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    static const QString kEscaped = QStringLiteral("\"`$\\");
    const bool quoted = exec.startsWith(QLatin1Char('"'));
    if (quoted && (exec.size() < 2 || !exec.endsWith(QLatin1Char('"')))) {
        return QStringLiteral("<bad>");
    }
    const QString inner = quoted ? exec.mid(1, exec.size() - 2) : exec;
    QString program;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        QChar c = inner[i];
        if (!quoted && kReserved.contains(c)) {
            return QStringLiteral("<bad>");
        }
        if (quoted && c == QLatin1Char('\\')) {
            if (++i >= inner.size() || !kEscaped.contains(inner[i])) {
                return QStringLiteral("<bad>");
            }
            c = inner[i];
        } else if (quoted && kEscaped.contains(c)) {
            return QStringLiteral("<bad>");
        }
        program += c;
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

bool MakeFile(const QString& path, const QByteArray& content = "x") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class AutostartTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray savedConfig_;

    QString Config() const { return dir_->path() + QStringLiteral("/config"); }
    QString Folder() const { return Config() + QStringLiteral("/autostart"); }
    QString Entry() const { return Folder() + QStringLiteral("/zelvant.desktop"); }

  private slots:
    void initTestCase() { savedConfig_ = qgetenv("XDG_CONFIG_HOME"); }

    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("XDG_CONFIG_HOME", Config().toLocal8Bit());
    }

    void cleanup() {
        if (savedConfig_.isNull()) {
            qunsetenv("XDG_CONFIG_HOME");
        } else {
            qputenv("XDG_CONFIG_HOME", savedConfig_);
        }
        dir_.reset();
    }

    void entryLivesInTheAutostartFolder() {
        QCOMPARE(AutostartEntryPath(), Entry());
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(AutostartEntryPath(), QDir::homePath() + "/.config/autostart/zelvant.desktop");
    }

    void entryTextRunsTheProgram() {
        const QString text = AutostartEntryText(QStringLiteral("/usr/bin/zelvant"));
        QString group;
        const auto keys = ReadEntry(text, &group);
        QCOMPARE(group, QStringLiteral("[Desktop Entry]"));
        const QMap<QString, QString> expected{{"Type", "Application"},
                                              {"Version", "1.0"},
                                              {"Name", "Zelvant"},
                                              {"Comment", "Password manager"},
                                              {"Exec", "/usr/bin/zelvant"},
                                              {"TryExec", "/usr/bin/zelvant"},
                                              {"Icon", "zelvant"},
                                              {"Terminal", "false"},
                                              {"X-GNOME-Autostart-enabled", "true"}};
        QCOMPARE(keys, expected);
        QVERIFY(text.endsWith(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')));
    }

    void awkwardPathsSurviveQuoting_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("spaces") << QStringLiteral("/opt/My Apps/zelvant");
        QTest::newRow("quote and dollar") << QStringLiteral("/opt/a\"b$c/zelvant");
        QTest::newRow("backslash") << QStringLiteral("/opt/back\\slash/zelvant");
        QTest::newRow("percent") << QStringLiteral("/opt/100%u/zelvant");
        QTest::newRow("backtick, tab") << QStringLiteral("/opt/`x`\t/zelvant");
        QTest::newRow("non-ASCII") << QStringLiteral("/home/zoë/Programme/zelvant");
    }

    void awkwardPathsSurviveQuoting() {
        QFETCH(QString, program);
        QString group;
        const auto keys = ReadEntry(AutostartEntryText(program), &group);
        QCOMPARE(ExecProgram(keys.value("Exec")), program);
        QCOMPARE(keys.value("TryExec"), program);
    }

    void exactQuotingOfASpacedPath() {
        const QString text = AutostartEntryText(QStringLiteral("/opt/My Apps/zel\\vant"));
        QVERIFY2(text.contains(QStringLiteral("\nExec=\"/opt/My Apps/zel\\\\\\\\vant\"\n")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\nTryExec=/opt/My Apps/zel\\\\vant\n")));
        // A plain path needs no quotes, and '%' is never a field code.
        QVERIFY(AutostartEntryText(QStringLiteral("/a/b%c")).contains("\nExec=/a/b%%c\n"));
    }

    void entryFollowsTheRealProgramFile() {
        const QString real = dir_->path() + QStringLiteral("/real place/zelvant");
        QVERIFY(MakeFile(real));
        const QString link = dir_->path() + QStringLiteral("/bin/zelvant");
        QDir().mkpath(QFileInfo(link).absolutePath());
        QVERIFY(QFile::link(real, link));
        QString group;
        const auto keys = ReadEntry(AutostartEntryText(link), &group);
        QCOMPARE(ExecProgram(keys.value("Exec")), QFileInfo(real).canonicalFilePath());

        const QString running =
            QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
        QCOMPARE(AutostartProgramPath(), running);
        qputenv("APPIMAGE", link.toLocal8Bit());
        QCOMPARE(AutostartProgramPath(), QFileInfo(real).canonicalFilePath());
        qputenv("APPIMAGE", QByteArray(link.toLocal8Bit() + ".gone"));
        QCOMPARE(AutostartProgramPath(), running);
        qunsetenv("APPIMAGE");
    }

    void addWritesAndRemoveDeletes() {
        QVERIFY(RemoveAutostartEntry());  // no folders at all yet
        QVERIFY(!QFileInfo::exists(Config()));
        QString error = QStringLiteral("untouched");
        QVERIFY(AddAutostartEntry(QStringLiteral("/usr/bin/zelvant"), &error));
        QCOMPARE(QString::fromUtf8(Read(Entry())),
                 AutostartEntryText(QStringLiteral("/usr/bin/zelvant")));

        // Every OK writes it again: a moved program is followed, and nothing is left behind.
        QVERIFY(MakeFile(Folder() + QStringLiteral("/other.desktop"), "[Desktop Entry]\n"));
        QVERIFY(AddAutostartEntry(QStringLiteral("/opt/new place/zelvant"), &error));
        QCOMPARE(QString::fromUtf8(Read(Entry())),
                 AutostartEntryText(QStringLiteral("/opt/new place/zelvant")));
        QCOMPARE(QDir(Folder()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{QStringLiteral("other.desktop"), QStringLiteral("zelvant.desktop")}));

        QVERIFY(RemoveAutostartEntry(&error));
        QVERIFY(!QFileInfo::exists(Entry()));
        QCOMPARE(Read(Folder() + QStringLiteral("/other.desktop")),
                 QByteArray("[Desktop Entry]\n"));
        // Turning it off when it is already off is no error.
        QVERIFY(RemoveAutostartEntry(&error));
        QCOMPARE(error, QStringLiteral("untouched"));
    }

    void unwritablePlaceIsReported_data() {
        QTest::addColumn<bool>("fileForFolder");
        QTest::newRow("file where the folder belongs") << true;
        QTest::newRow("folder where the entry belongs") << false;
    }

    void unwritablePlaceIsReported() {
        QFETCH(bool, fileForFolder);
        QVERIFY(fileForFolder ? MakeFile(Folder(), "mine") : QDir().mkpath(Entry()));
        QString error;
        QVERIFY(!AddAutostartEntry(QStringLiteral("/usr/bin/zelvant"), &error));
        QCOMPARE(error, kMessage);
        error.clear();
        QVERIFY(!RemoveAutostartEntry(&error));
        QCOMPARE(error, kMessage);
        QVERIFY(!AddAutostartEntry(QStringLiteral("/usr/bin/zelvant")));  // no message wanted
        // Whatever was in the way is left alone.
        QVERIFY(fileForFolder ? Read(Folder()) == "mine" : QFileInfo(Entry()).isDir());
        QCOMPARE(QString::fromLatin1(kAutostartPlaceMessage), kMessage);
    }
};

QTEST_GUILESS_MAIN(AutostartTest)
#include "autostart_test.moc"
