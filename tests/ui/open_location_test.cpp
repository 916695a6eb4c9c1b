// Opening locations and mail addresses: which locations open at once, which are shown to the user
// first, and what reaches the desktop's opener. Nothing is really opened: the opener and the
// question are replaced.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "ui/message_box.h"
#include "ui/open_location.h"

using namespace zelvant::ui;

Q_DECLARE_METATYPE(zelvant::ui::LocationKind)

class OpenLocationTest : public QObject {
    Q_OBJECT

    std::vector<QUrl> opened_;
    bool openerResult_ = true;
    bool waitCursorWhileOpening_ = false;
    int questions_ = 0;
    QString questionText_;

    // Answers the question with the given button, as a user pressing it would.
    void Answer(QMessageBox::StandardButton answer) {
        SetDialogHookForTests([this, answer](QDialog& dialog) {
            ++questions_;
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            if (box == nullptr) {
                qFatal("a message box was expected");
            }
            questionText_ = box->text();
            if (box->icon() != QMessageBox::Question ||
                box->defaultButton() != box->button(QMessageBox::No) ||
                box->button(QMessageBox::Yes) == nullptr) {
                qFatal("not a Yes/No question defaulting to No");
            }
            box->button(answer)->click();
            return box->result();
        });
    }

  private slots:
    void init() {
        opened_.clear();
        openerResult_ = true;
        waitCursorWhileOpening_ = false;
        questions_ = 0;
        questionText_.clear();
        SetUrlOpenerForTests([this](const QUrl& url) {
            opened_.push_back(url);
            const QCursor* cursor = QApplication::overrideCursor();
            waitCursorWhileOpening_ = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
            return openerResult_;
        });
        Answer(QMessageBox::No);
    }

    void cleanup() {
        SetUrlOpenerForTests({});
        SetDialogHookForTests({});
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void classifiesLocations_data() {
        QTest::addColumn<QString>("location");
        QTest::addColumn<LocationKind>("kind");
        QTest::newRow("bare host") << QStringLiteral("www.example.com") << LocationKind::Web;
        QTest::newRow("upper-case scheme") << QStringLiteral("HTTPS://x") << LocationKind::Web;
        QTest::newRow("ftp") << QStringLiteral("ftp://h/f") << LocationKind::Web;
        QTest::newRow("padded") << QStringLiteral("  http://example.com/login  ")
                                << LocationKind::Web;
        QTest::newRow("http without host")
            << QStringLiteral("http:///etc/passwd") << LocationKind::Other;
        QTest::newRow("file url") << QStringLiteral("file:///etc/passwd") << LocationKind::Other;
        QTest::newRow("absolute path") << QStringLiteral("/usr/bin/xterm") << LocationKind::Other;
        QTest::newRow("windows path")
            << QStringLiteral("C:\\Windows\\calc.exe") << LocationKind::Other;
        QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << LocationKind::Other;
        QTest::newRow("smb share") << QStringLiteral("smb://host/share") << LocationKind::Other;
        QTest::newRow("mailto") << QStringLiteral("mailto:x@y") << LocationKind::Other;
        QTest::newRow("custom scheme") << QStringLiteral("steam://run/440") << LocationKind::Other;
        QTest::newRow("empty") << QStringLiteral("") << LocationKind::Empty;
        QTest::newRow("blank") << QStringLiteral(" \t ") << LocationKind::Empty;
    }

    void classifiesLocations() {
        QFETCH(QString, location);
        QFETCH(LocationKind, kind);
        QCOMPARE(ClassifyLocation(location), kind);
    }

    void relativeNameOfAnExistingFileIsThatFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile file(QStringLiteral("setup.sh"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const LocationKind kind = ClassifyLocation(QStringLiteral("setup.sh"));
        const LocationKind absent = ClassifyLocation(QStringLiteral("setup.example"));
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(kind, LocationKind::Other);
        QCOMPARE(absent, LocationKind::Web);
    }

    void webAddressOpensAtOnceUnderAWaitCursor() {
        QVERIFY(OpenLocation(nullptr, QStringLiteral("www.example.com")));
        QCOMPARE(questions_, 0);
        QCOMPARE(opened_, std::vector<QUrl>{QUrl(QStringLiteral("http://www.example.com"))});
        QVERIFY(waitCursorWhileOpening_);

        openerResult_ = false;
        QVERIFY(!OpenLocation(nullptr, QStringLiteral("https://example.com")));
        // An empty location opens nothing and asks nothing.
        QVERIFY(!OpenLocation(nullptr, QStringLiteral("   ")));
        QCOMPARE(opened_.size(), std::size_t(2));
        QCOMPARE(questions_, 0);
    }

    void otherLocationOpensOnlyAfterYes() {
        QVERIFY(!OpenLocation(nullptr, QStringLiteral("/usr/bin/xterm")));
        QCOMPARE(questions_, 1);
        QVERIFY(opened_.empty());
        QVERIFY(questionText_.contains(QStringLiteral("file:///usr/bin/xterm")));

        Answer(QMessageBox::Yes);
        QVERIFY(OpenLocation(nullptr, QStringLiteral("/usr/bin/xterm")));
        QCOMPARE(questions_, 2);
        QCOMPARE(opened_, std::vector<QUrl>{QUrl(QStringLiteral("file:///usr/bin/xterm"))});
        QVERIFY(waitCursorWhileOpening_);
    }

    void mailtoAsALocationIsAskedAbout() {
        QVERIFY(!OpenLocation(nullptr, QStringLiteral("mailto:x@y")));
        QCOMPARE(questions_, 1);
        QVERIFY(questionText_.contains(QStringLiteral("mailto:x@y")));
        QVERIFY(opened_.empty());
    }

    void mailtoTextIsTheAddressUnchanged() {
        QCOMPARE(MailtoText(QStringLiteral("jo.smith@example.com")),
                 QStringLiteral("Mailto:jo.smith@example.com"));
        QCOMPARE(MailtoText(QStringLiteral(" Jo@Example.COM ")),
                 QStringLiteral("Mailto: Jo@Example.COM "));
    }

    void sendEmailOpensTheMailtoAddressWithoutAsking() {
        QVERIFY(SendEmail(nullptr, QStringLiteral("jo.smith@example.com")));
        QCOMPARE(questions_, 0);
        QCOMPARE(opened_.size(), std::size_t(1));
        QCOMPARE(opened_[0].scheme(), QStringLiteral("mailto"));
        QCOMPARE(opened_[0].path(), QStringLiteral("jo.smith@example.com"));

        QVERIFY(!SendEmail(nullptr, QString()));
        QCOMPARE(opened_.size(), std::size_t(1));
    }
};

QTEST_MAIN(OpenLocationTest)
#include "open_location_test.moc"
