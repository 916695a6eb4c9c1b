// The search box and its results in the record list, the expiry bar, and File > Import, in the
// main window.

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "settings/settings_store.h"
#include "support/ui_fixtures.h"
#include "ui/commands.h"
#include "ui/expiry_bar.h"
#include "ui/import_dlg.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/record_finder.h"
#include "ui/results_list.h"

using namespace zelvant;
using namespace zelvant::ui;
using namespace zelvant::testing;

namespace {

const QString kImports = QStringLiteral(ZELVANT_TEST_DATA "/import/");

// Column `subitem` of every row on show, in row order.
QStringList Column(controls::CReportCtrl& list, const controls::IReportSource& source,
                   int subitem) {
    QStringList cells;
    for (int row = 0; row < list.GetItemCount(); ++row) {
        cells << source.CellText(list.ItemAt(row), subitem);
    }
    return cells;
}

QStringList Results(CMainFrame& frame) {
    CResultsList& results = frame.View().Results();
    QStringList rows;
    const QStringList folders = Column(results, results.Source(), kFolderColumn);
    const QStringList sites = Column(results, results.Source(), 0);
    for (int i = 0; i < sites.size(); ++i) {
        rows << folders[i] + '/' + sites[i];
    }
    return rows;
}

void Activate(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

}  // namespace

class RecordFinderTest : public QObject {
    Q_OBJECT

    QStringList messages_;

  private slots:
    void init() {
        messages_.clear();
        SetMessageBoxHookForTests(
            [this](const QString& text, QMessageBox::Icon) { messages_ << text; });
        AnswerDialogs(kPassword);
    }
    void cleanup() {
        SetMessageBoxHookForTests({});
        SetDialogHookForTests({});
    }

    void searchListsMatchesOfEveryFolderAndEscGoesBack() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        Activate(frame);
        QVERIFY(frame.OpenDocument(kSample));
        frame.Tree().SelectFolder(1);  // Banking
        CSearchBox& box = *frame.Finder().Box();

        frame.Action(cmd::kFind)->trigger();
        QTRY_VERIFY(box.hasFocus());
        QTest::keyClicks(&box, QStringLiteral("CaRd"));
        QVERIFY(frame.View().ShowingResults());
        QCOMPARE(Results(frame),
                 (QStringList{"Banking/Credit card", "Banking/Cards/Loyalty card"}));
        QCOMPARE(frame.View().Results().Columns().Shown().front(), kFolderColumn);
        // Passwords are never searched: the bank's is "S3cure!Passw0rd#2026".
        box.setText(QStringLiteral("passw0rd"));
        QVERIFY(frame.View().ShowingResults() && Results(frame).isEmpty());

        // Esc empties the box and brings the folder back, with the list focused.
        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(!frame.View().ShowingResults() && box.text().isEmpty());
        QCOMPARE(SiteNames(frame), (QStringList{"Example Bank", "Credit card"}));
        QVERIFY(frame.View().List().hasFocus());

        // So does an emptied box; and choosing a folder leaves the results too.
        box.setText(QStringLiteral("wiki"));
        QCOMPARE(Results(frame), QStringList{"Work/Sub of Work/Wiki"});
        box.clear();
        QVERIFY(!frame.View().ShowingResults());
        box.setText(QStringLiteral("wiki"));
        frame.Tree().SelectFolder(0);
        QVERIFY(!frame.View().ShowingResults() && box.text().isEmpty());
        QCOMPARE(SiteNames(frame), (QStringList{"Intranet", "VPN"}));

        // A new record shows its folder: the search is over, the box emptied with it.
        box.setText(QStringLiteral("wiki"));
        SetDialogHookForTests([](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("siteName"))->setText("Wiki 2");
            dialog.accept();
            return dialog.result();
        });
        frame.Action(cmd::kNewRecord)->trigger();
        QVERIFY(!frame.View().ShowingResults() && box.text().isEmpty());
        QCOMPARE(SiteNames(frame), (QStringList{"Wiki 2", "Intranet", "VPN"}));
    }

    // Properties and Delete act on the results while they have the focus, never on the folder.
    void recordCommandsActOnTheResults() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        Activate(frame);
        QVERIFY(frame.OpenDocument(kSample));
        frame.Tree().SelectFolder(1);
        frame.Finder().Box()->setText(QStringLiteral("card"));
        CResultsList& results = frame.View().Results();
        QTest::keyClick(frame.Finder().Box(), Qt::Key_Down);
        QTRY_VERIFY(results.hasFocus());
        QCOMPARE(results.CurrentRef(), (RecordRef{1, 1}));

        SetDialogHookForTests([](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("siteName"))->setText("Credit card (old)");
            dialog.accept();
            return dialog.result();
        });
        QTest::keyClick(&results, Qt::Key_Return);
        QCOMPARE(frame.Folders().FolderAt(1)->RecordAt(1)->GetText(RecordField::SiteName),
                 "Credit card (old)");
        QVERIFY(frame.Document().IsModified());
        QCOMPARE(Results(frame),
                 (QStringList{"Banking/Credit card (old)", "Banking/Cards/Loyalty card"}));
        QCOMPARE(results.CurrentRef(), (RecordRef{1, 1}));

        frame.Settings().noQueryDelRecord = 1;
        results.clearSelection();
        results.SelectRef({2, 0});
        frame.Action(cmd::kDelete)->trigger();
        QCOMPARE(Results(frame), QStringList{"Banking/Credit card (old)"});
        QCOMPARE(frame.Folders().Count(), 5);
        QCOMPARE(frame.Folders().FolderAt(2)->RecordCount(), 0);
        QCOMPARE(frame.Folders().FolderAt(1)->RecordCount(), 2);
    }

    void expiryBarCountsAndShowsTheRecords() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        CFolder* folder = frame.Folders().AppendFolder();
        folder->SetName("Cards");
        const double now = NowLocal().oa;
        for (const auto& [name, days] : {std::pair{"old", -1.0}, std::pair{"soon", 3.0},
                                         std::pair{"later", 30.0}, std::pair{"never", 0.0}}) {
            CRecord* r = folder->AppendRecord();
            r->SetText(RecordField::SiteName, name);
            r->SetInt(RecordField::HasExpiry, days != 0.0 ? 1 : 0);
            r->SetDate(RecordField::ExpiresOn, {now + days, 0});
        }
        frame.Tree().Rebuild();
        CExpiryBar& bar = frame.ExpiryBar();
        frame.CheckExpiry();
        QVERIFY(!bar.isHidden());
        QCOMPARE(bar.Message()->text(),
                 QStringLiteral("1 record has expired, and 1 expires within 14 days."));
        bar.ShowButton()->click();
        QCOMPARE(Results(frame), (QStringList{"Cards/old", "Cards/soon"}));
        bar.CloseButton()->click();
        QVERIFY(bar.isHidden());

        store.WriteInt("Display", "ExpiryWarningDays", 60);
        frame.CheckExpiry();
        QCOMPARE(bar.Message()->text(),
                 QStringLiteral("1 record has expired, and 2 expire within 60 days."));
        store.WriteInt("Display", "ExpiryWarningDays", 0);
        frame.CheckExpiry();
        QVERIFY(bar.isHidden());
        QCOMPARE(CExpiryBar::Text(3, 0, 14), QStringLiteral("3 records have expired."));
        QCOMPARE(CExpiryBar::Text(0, 1, 1), QStringLiteral("1 record expires within a day."));

        // Opening a file looks; a new document takes the bar away.
        store.WriteInt("Display", "ExpiryWarningDays", 3650);
        QVERIFY(frame.OpenDocument(kSample));
        QVERIFY(!bar.isHidden());
        QVERIFY(frame.NewDocument());
        QVERIFY(bar.isHidden());
    }

    void importAddsAnExportAndSaysWhatCameIn() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        frame.Folders().AppendFolder()->SetName("Email");
        frame.Tree().Rebuild();
        const auto choose = [](const QString& file, ImportFormat format) {
            SetDialogHookForTests([file, format](QDialog& dialog) {
                auto& files = static_cast<QFileDialog&>(dialog);
                files.selectNameFilter(ImportFilter(format));
                files.selectFile(kImports + file);
                return int(QDialog::Accepted);
            });
        };
        choose(QStringLiteral("bitwarden.json"), ImportFormat::BitwardenJson);
        frame.Action(cmd::kImport)->trigger();
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_.front().startsWith("Imported 3 records and 4 new folders from the "
                                              "Bitwarden JSON export.\nSkipped 1 entry:\nitem 3: "),
                 qPrintable(messages_.front()));
        QVERIFY(frame.Document().IsModified());
        // Into the folder it already had, which is shown.
        QCOMPARE(frame.Tree().SelectedFolder(), 0);
        QCOMPARE(SiteNames(frame), QStringList{"Northwind Mail"});
        QCOMPARE(frame.Folders().Count(), 5);

        // A file that cannot be read as a whole adds nothing.
        frame.Document().SetModifiedFlag(false);
        choose(QStringLiteral("firefox.csv"), ImportFormat::ChromeCsv);
        frame.Action(cmd::kImport)->trigger();
        QCOMPARE(messages_.size(), 2);
        QCOMPARE(messages_.back(),
                 QStringLiteral("firefox.csv cannot be imported: line 1: this is not a Chrome "
                                "passwords CSV export: it has no column name; it looks like a "
                                "Firefox logins CSV export.\nNothing was imported."));
        QVERIFY(!frame.Document().IsModified());
        QCOMPARE(frame.Folders().Count(), 5);

        // The first filter takes any export and tells its format by its contents.
        QString firstFilter;
        SetDialogHookForTests([&firstFilter](QDialog& dialog) {
            auto& files = static_cast<QFileDialog&>(dialog);
            firstFilter = files.nameFilters().front();
            files.selectFile(kImports + QStringLiteral("firefox.csv"));
            return int(QDialog::Accepted);
        });
        frame.Action(cmd::kImport)->trigger();
        QCOMPARE(firstFilter, QString::fromLatin1(kAnyExportFilter));
        QVERIFY(messages_.back().startsWith(
            "Imported 2 records and 1 new folder from the Firefox logins CSV export."));
        QCOMPARE(SiteNames(frame), (QStringList{"accounts.example.com", "router.home.example"}));
    }
};

QTEST_MAIN(RecordFinderTest)
#include "record_finder_test.moc"
