// The password popup on the offscreen platform: the tree it builds, what a selection shows,
// masking and copying, where the window opens and what it remembers, pinning and the filter.

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <array>
#include <memory>
#include <string>

#include "ui/field_edit.h"
#include "ui/password_popup.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

// Site name, location, user name, password, account name, account number.
void Add(CFolder* folder, std::initializer_list<std::string> texts) {
    static constexpr RecordField kOrder[] = {RecordField::SiteName,    RecordField::Location,
                                             RecordField::UserName,    RecordField::Password,
                                             RecordField::AccountName, RecordField::AccountNumber};
    CRecord* record = folder->AppendRecord();
    const RecordField* field = kOrder;
    for (const std::string& text : texts) {
        record->SetText(*field++, text);
    }
}

QStringList Texts(QTreeWidget* tree, QTreeWidgetItemIterator::IteratorFlags flags = {}) {
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree, flags); *it; ++it) {
        texts << (*it)->text(0);
    }
    return texts;
}

constexpr std::array kAllFields{PopupField::Location, PopupField::UserName, PopupField::Password,
                                PopupField::AccountName, PopupField::AccountNumber};

// A popup over a small document, with the position stored and the defaults a fresh installation
// has otherwise:
// root ─┬─ Archive ── Old ── Legacy
//       ├─ banking ─┬─ bank, Cards ── Amex, Deposit, Mail, Mail
//       └─ Work ── Alpha, zeta
struct Popup {
    explicit Popup(int x = -1, int y = -1) {
        appSettings.pinPopup = 1;
        appSettings.popup.accountNum = 1;
        appSettings.popup.password = 1;
        store.WriteInt("Settings", "PopupX", x);
        store.WriteInt("Settings", "PopupY", y);
        store.ClearWrites();
        const auto folder = [this](const char* name, FolderIndex parent) {
            CFolder* added = folders.AppendFolder();
            added->SetName(name);
            added->SetParent(parent);
            return added;
        };
        CFolder* work = folder("Work", kTopLevel);
        Add(work, {"zeta", "https://zeta.example.com", "zed", "pw-z"});
        Add(work, {"Alpha", "alpha.example.org", "al@mail.test", "pw-a"});
        CFolder* banking = folder("banking", kTopLevel);
        Add(banking, {"Mail", "https://mail.example.com", "ann", "s3cret!", "Main", "12-34"});
        Add(banking, {"bank", "https://bank.example", "Ann.B", "b4nk", "Giro", "5678"});
        Add(banking, {"Mail", "", "bob"});
        Add(banking, {"Deposit"});
        Add(folder("Cards", 1), {"Amex", "", "carl"});
        folder("Archive", kTopLevel);
        Add(folder("Old", 3), {"Legacy", "", "olduser", "x"});
        popup = std::make_unique<CPasswordPopup>(appSettings, store);
        popup->Refresh(&folders, QStringLiteral("Vault.zvd"));
    }

    QTreeWidget* Tree() const { return popup->Tree(); }
    void Select(const char* text, int nth = 0) const {
        const auto found = Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        Tree()->setCurrentItem(found.value(nth));
    }
    QString Text(PopupField field) const { return popup->Field(field)->text(); }
    // The fields as shown, with "+" for each one that can be copied.
    QString Shown() const {
        QStringList shown;
        for (const PopupField field : kAllFields) {
            shown << popup->Field(field)->displayText() +
                         (popup->CopyButton(field)->isEnabled() ? "+" : "");
        }
        return shown.join('|') + (popup->WebButton()->isEnabled() ? " web" : "");
    }

    settings::AppSettings appSettings;
    settings::CMemorySettingsStore store;
    CFolderSequence folders;
    std::unique_ptr<CPasswordPopup> popup;
};

}  // namespace

class PasswordPopupTest : public QObject {
    Q_OBJECT

  private slots:
    void treeHoldsEverythingExpandedAndSortedWithoutCase() {
        Popup p;
        QCOMPARE(Texts(p.Tree()),
                 (QStringList{"Vault.zvd", "Archive", "Old", "Legacy", "banking", "bank", "Cards",
                              "Amex", "Deposit", "Mail", "Mail", "Work", "Alpha", "zeta"}));
        for (QTreeWidgetItemIterator it(p.Tree(), QTreeWidgetItemIterator::HasChildren); *it;
             ++it) {
            QVERIFY2((*it)->isExpanded(), qPrintable((*it)->text(0)));
        }
        // Equal names keep their stored order.
        p.Select("Mail", 1);
        QCOMPARE(p.Text(PopupField::UserName), QStringLiteral("bob"));
    }

    void selectionShowsTheRecordMaskedAsAsked() {
        Popup p;
        p.Select("Mail");
        QCOMPARE(p.Shown(),
                 QStringLiteral("https://mail.example.com+|ann+|*******+|Main+|*****+ web"));
        settings::PopupFlags flags;
        flags.userName = 1;
        p.popup->SetMasks(flags);
        QCOMPARE(p.Shown(),
                 QStringLiteral("https://mail.example.com+|***+|s3cret!+|Main+|12-34+ web"));

        // The real password even while it shows asterisks.
        p.popup->SetMasks(p.appSettings.popup);
        QTest::mouseClick(p.popup->CopyButton(PopupField::Password), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("s3cret!"));
        QCOMPARE(p.popup->Field(PopupField::Password)->displayText(), QStringLiteral("*******"));

        p.Select("Mail", 1);
        QCOMPARE(p.Shown(), QStringLiteral("|bob+|||"));
        for (const char* name : {"banking", "Cards", "Vault.zvd"}) {
            p.Select("bank");
            p.Select(name);
            QCOMPARE(p.Shown(), QStringLiteral("||||"));
        }
    }

    void storedPositionIsUsedOnlyOnTheScreen_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("used");
        const QRect desktop = QGuiApplication::primaryScreen()->geometry();
        QTest::newRow("top left") << 0 << 0 << true;
        QTest::newRow("last pixel") << desktop.width() - 1 << desktop.height() - 1 << true;
        QTest::newRow("both -1") << -1 << -1 << false;
        QTest::newRow("y -1") << 10 << -1 << false;
        QTest::newRow("x at width") << desktop.width() << 10 << false;
    }
    void storedPositionIsUsedOnlyOnTheScreen() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, used);
        Popup p(x, y);
        const QRect frame = p.popup->frameGeometry();
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY(used ? frame.topLeft() == QPoint(x, y)
                     : (frame.center() - centre).manhattanLength() <= 2);
        QVERIFY(p.store.Writes().empty());
    }

    void movesAreWrittenAndPinningKeepsTheWindowOnTop() {
        Popup p(10, 20);
        p.popup->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.popup.get()));
        p.popup->move(30, 40);
        // Written at once: a popup opened now starts there.
        QTRY_COMPARE(CPasswordPopup(p.appSettings, p.store).frameGeometry().topLeft(),
                     QPoint(30, 40));

        QVERIFY(p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTest::mouseClick(p.popup->PinButton(), Qt::LeftButton);
        QVERIFY(!p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(p.appSettings.pinPopup, 0);
        // Re-flagging shows the window again where it was.
        QVERIFY(p.popup->isVisible());
        QCOMPARE(p.popup->frameGeometry().topLeft(), QPoint(30, 40));

        // Showing applies the setting as it is then.
        p.popup->hide();
        p.appSettings.pinPopup = 1;
        p.popup->show();
        QVERIFY(p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void filterNarrowsToMatchingRecordsAndClears() {
        Popup p;
        QLineEdit* filter = p.popup->Filter();
        const QStringList everything = Texts(p.Tree());
        const auto visible = [&p] { return Texts(p.Tree(), QTreeWidgetItemIterator::NotHidden); };
        // Site name, location or user name, without regard to case; never the password.
        filter->setText(QStringLiteral("MAIL"));
        QCOMPARE(visible(), (QStringList{"Vault.zvd", "banking", "Mail", "Mail", "Work", "Alpha"}));
        filter->setText(QStringLiteral("example.ORG"));
        QCOMPARE(visible(), (QStringList{"Vault.zvd", "Work", "Alpha"}));
        // A single match two folders deep is selected and shown.
        filter->setText(QStringLiteral("OldUser"));
        QCOMPARE(visible(), (QStringList{"Vault.zvd", "Archive", "Old", "Legacy"}));
        QCOMPARE(p.Text(PopupField::UserName), QStringLiteral("olduser"));
        // A shown record that no longer matches is let go.
        filter->setText(QStringLiteral("b4nk"));
        QCOMPARE(visible(), QStringList{"Vault.zvd"});
        QCOMPARE(p.Shown(), QStringLiteral("||||"));
        filter->clear();
        QCOMPARE(visible(), everything);
    }
};

QTEST_MAIN(PasswordPopupTest)
#include "password_popup_test.moc"
