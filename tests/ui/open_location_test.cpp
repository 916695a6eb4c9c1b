// Opening locations and mail addresses, with the opener and the question replaced.

#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "ui/message_box.h"
#include "ui/open_location.h"

using namespace zelvant::ui;

Q_DECLARE_METATYPE(zelvant::ui::LocationKind)

class OpenLocationTest : public QObject {
    Q_OBJECT

    QStringList opened_;
    QStringList questions_;
    QMessageBox::StandardButton answer_ = QMessageBox::No;

  private slots:
    void init() {
        opened_ = questions_ = QStringList();
        SetUrlOpenerForTests([this](const QUrl& url) {
            opened_ << url.toString();
            return true;
        });
        SetDialogHookForTests([this](QDialog& dialog) {
            auto& box = static_cast<QMessageBox&>(dialog);
            // A stray Enter must never run a program; any other default fails the text check.
            questions_ << (box.defaultButton() == box.button(QMessageBox::No) ? box.text() : "");
            box.button(answer_)->click();
            return box.result();
        });
    }

    void webOpensAtOnceAnythingElseOnlyAfterYes_data() {
        QTest::addColumn<QString>("location");
        QTest::addColumn<LocationKind>("kind");
        QTest::addColumn<QString>("url");
        const auto row = [](const char* name, QString location, LocationKind kind, QString url) {
            QTest::newRow(name) << location << kind << url;
        };
        row("bare host", "www.example.com", LocationKind::Web, "http://www.example.com");
        row("padded, upper case", "  HTTPS://x/login ", LocationKind::Web, "https://x/login");
        row("ftp", "ftp://h/f", LocationKind::Web, "ftp://h/f");
        row("absolute path", "/usr/bin/xterm", LocationKind::Other, "file:///usr/bin/xterm");
        row("file url", "file://nas/share/run.sh", LocationKind::Other, "file://nas/share/run.sh");
        row("http without host", "http:///etc/passwd", LocationKind::Other, "http:///etc/passwd");
        row("javascript", "javascript:alert(1)", LocationKind::Other, "javascript:alert(1)");
        row("other scheme", "steam://run/440", LocationKind::Other, "steam://run/440");
        row("blank", " \t ", LocationKind::Empty, "");
    }
    void webOpensAtOnceAnythingElseOnlyAfterYes() {
        QFETCH(QString, location);
        QFETCH(LocationKind, kind);
        QFETCH(QString, url);
        QCOMPARE(ClassifyLocation(location), kind);
        for (const bool yes : {false, true}) {
            init();
            answer_ = yes ? QMessageBox::Yes : QMessageBox::No;
            const bool opens = kind == LocationKind::Web || (kind == LocationKind::Other && yes);
            QCOMPARE(OpenLocation(nullptr, location), opens);
            QCOMPARE(questions_.size(), kind == LocationKind::Other ? 1 : 0);
            QCOMPARE(opened_, opens ? QStringList{url} : QStringList{});
            // The user sees what would be run.
            QVERIFY(kind != LocationKind::Other || questions_.value(0).contains(url));
        }
    }

    void mailOpensTheMailtoAddressWithoutAsking() {
        QCOMPARE(MailtoText(QStringLiteral(" Jo@X.COM")), QStringLiteral("Mailto:%20Jo@X.COM"));
        QVERIFY(SendEmail(nullptr, QStringLiteral("jo@example.com")));
        QVERIFY(!SendEmail(nullptr, QString()));
        QVERIFY(questions_.isEmpty());
        QCOMPARE(opened_, QStringList{QStringLiteral("mailto:jo@example.com")});
    }

    // A field is an address and nothing else: it cannot add headers, a body or an attachment.
    void mailAddressCannotAddHeaders() {
        const QString field = QStringLiteral(
            "jo@example.com?attach=/home/jo/.ssh/id_rsa&cc=x@evil.example&body=hi#frag\r\nBcc: y");
        QVERIFY(SendEmail(nullptr, field));
        QCOMPARE(opened_.size(), 1);
        const QUrl url(opened_.front());
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QVERIFY(!url.hasQuery() && !url.hasFragment());
        QCOMPARE(url.path(QUrl::FullyDecoded), field);
        QVERIFY(!opened_.front().contains(QLatin1Char('?')));
        QVERIFY(!opened_.front().contains(QLatin1Char('&')));
    }
};

QTEST_MAIN(OpenLocationTest)
#include "open_location_test.moc"