// Help for the desktop program: its command-line help and the user guide that Help opens.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <string_view>
#include <vector>

#include "ui/command_line.h"
#include "ui/message_box.h"
#include "ui/user_guide.h"

using namespace zelvant::ui;

class HelpTest : public QObject {
    Q_OBJECT

    static void Touch(const QString& path) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

  private slots:
    void guideIsTheInstalledOneElseTheBuildTreesOne() {
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("prefix/bin"));
        QVERIFY(QDir().mkpath(bin));
        const QString installed =
            QDir::cleanPath(bin + QStringLiteral("/" ZELVANT_DOC_FROM_BIN "/user-guide.html"));
        const QString built = bin + QStringLiteral("/doc/user-guide.html");
        QVERIFY(installed.startsWith(dir.path()));
        QCOMPARE(UserGuidePath(bin), installed);  // named in the message when there is none
        Touch(built);
        QCOMPARE(UserGuidePath(bin), built);
        Touch(installed);
        QCOMPARE(UserGuidePath(bin), installed);
    }

    void missingGuideIsReported() {
        QStringList shown;
        SetMessageBoxHookForTests(
            [&shown](const QString& text, QMessageBox::Icon) { shown << text; });
        OpenUserGuide(nullptr);  // the test program's folder holds no guide
        SetMessageBoxHookForTests({});
        QCOMPARE(shown, QStringList{"Cannot open the user guide\n" +
                                    UserGuidePath(QCoreApplication::applicationDirPath())});
    }

    void onlyHelpAndVersionEndTheProgram() {
        using Args = std::vector<std::string_view>;
        QVERIFY(!AnswerInfoOptions(Args{}).has_value());
        QVERIFY(!AnswerInfoOptions(Args{"bank.zvd", "-platform", "offscreen"}).has_value());
        QVERIFY(!AnswerInfoOptions(Args{"--", "--help"}).has_value());  // a file named so
        QCOMPARE(AnswerInfoOptions(Args{"bank.zvd", "--version"}), std::optional<int>(0));
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
