// The password popup on the offscreen platform: the tree it builds from a document, what a
// selection shows, masking and copying, where the window opens and what it remembers, pinning,
// the filter and the keyboard.

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "settings/direct_settings.h"
#include "settings/settings_store.h"
#include "store/folder_sequence.h"
#include "ui/field_edit.h"
#include "ui/open_location.h"
#include "ui/password_popup.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

struct RecordDef {
    std::string site;
    std::string location;
    std::string user;
    std::string password;
    std::string accountName;
    std::string accountNumber;
};

struct FolderDef {
    std::string name;
    FolderIndex parent = kTopLevel;
    int expanded = 0;
    std::vector<RecordDef> records;
};

// root ─┬─ Archive ── Old ── Legacy
//       ├─ banking ─┬─ bank, Cards ── Amex, Deposit, Mail, Mail
//       └─ Work ── Alpha, zeta
std::vector<FolderDef> SmallDocument() {
    return {
        {"Work",
         kTopLevel,
         1,
         {{"zeta", "https://zeta.example.com", "zed", "pw-z", "", ""},
          {"Alpha", "alpha.example.org", "al@mail.test", "pw-a", "", ""}}},
        {"banking",
         kTopLevel,
         0,
         {{"Mail", "https://mail.example.com", "ann", "s3cret!", "Main", "12-34"},
          {"bank", "https://bank.example", "Ann.B", "b4nk", "Giro", "5678"},
          {"Mail", "", "bob", "", "", ""},
          {"Deposit", "", "", "", "", ""}}},
        {"Cards", 1, 0, {{"Amex", "", "carl", "", "", ""}}},
        {"Archive", kTopLevel, 0, {}},
        {"Old", 3, 0, {{"Legacy", "", "olduser", "x", "", ""}}},
    };
}

void Fill(CFolderSequence& folders, const std::vector<FolderDef>& defs) {
    for (const FolderDef& def : defs) {
        CFolder* folder = folders.AppendFolder();
        folder->SetName(def.name);
        folder->SetParent(def.parent);
        folder->SetExpanded(def.expanded);
        for (const RecordDef& r : def.records) {
            CRecord* record = folder->AppendRecord();
            record->SetText(RecordField::SiteName, r.site);
            record->SetText(RecordField::Location, r.location);
            record->SetText(RecordField::UserName, r.user);
            record->SetText(RecordField::Password, r.password);
            record->SetText(RecordField::AccountName, r.accountName);
            record->SetText(RecordField::AccountNumber, r.accountNumber);
        }
    }
}

QStringList ChildTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) {
        texts << item->child(i)->text(0);
    }
    return texts;
}

QStringList VisibleTexts(QTreeWidget* tree) {
    QStringList texts;
    for (QTreeWidgetItemIterator it(tree, QTreeWidgetItemIterator::NotHidden); *it; ++it) {
        texts << (*it)->text(0);
    }
    return texts;
}

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& text, int nth = 0) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0) == text && nth-- == 0) {
            return *it;
        }
    }
    return nullptr;
}

constexpr std::array kAllFields{PopupField::Location, PopupField::UserName, PopupField::Password,
                                PopupField::AccountName, PopupField::AccountNumber};

QRect Desktop() {
    return QGuiApplication::primaryScreen()->geometry();
}

int StoredInt(settings::CMemorySettingsStore& store, const char* key) {
    return store.ReadInt("Settings", key, -99);
}

// A popup over the small document, with the defaults a fresh installation has.
struct Popup {
    explicit Popup(settings::ScreenPoint at = {},
                   const std::vector<FolderDef>& defs = SmallDocument()) {
        appSettings.pinPopup = 1;
        appSettings.popup.accountNum = 1;
        appSettings.popup.password = 1;
        if (at.x != -1 || at.y != -1) {
            store.WriteInt("Settings", "PopupX", at.x);
            store.WriteInt("Settings", "PopupY", at.y);
        }
        store.ClearWrites();
        Fill(folders, defs);
        popup = std::make_unique<CPasswordPopup>(appSettings, store);
        popup->Refresh(&folders, QStringLiteral("Vault.zvd"));
    }

    QTreeWidget* Tree() const { return popup->Tree(); }
    QTreeWidgetItem* Root() const { return Tree()->topLevelItem(0); }
    QTreeWidgetItem* Item(const char* text, int nth = 0) const {
        return FindItem(Tree(), QString::fromUtf8(text), nth);
    }
    QString Text(PopupField field) const { return popup->Field(field)->text(); }
    QString Shown(PopupField field) const { return popup->Field(field)->displayText(); }
    bool CopyEnabled(PopupField field) const { return popup->CopyButton(field)->isEnabled(); }

    void ExpectEmpty() const {
        for (const PopupField field : kAllFields) {
            QVERIFY(Text(field).isEmpty());
            QVERIFY(!CopyEnabled(field));
        }
        QVERIFY(!popup->WebButton()->isEnabled());
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
    void cleanup() { SetUrlOpenerForTests({}); }

    // ---- the window ----

    void startsHiddenAsAToolWindowOfItsOwn() {
        Popup p;
        QVERIFY(!p.popup->isVisible());
        QCOMPARE(p.popup->windowTitle(), QStringLiteral("Password Popup"));
        QVERIFY(p.popup->isWindow());
        QCOMPARE(p.popup->parentWidget(), nullptr);
        QCOMPARE(p.popup->windowType(), Qt::Tool);
        QCOMPARE(p.popup->size(),
                 QSize(CPasswordPopup::kDefaultWidth, CPasswordPopup::kDefaultHeight));
        QCOMPARE(p.popup->Filter()->objectName(), QStringLiteral("PopupFilter"));
        QCOMPARE(p.popup->CopyButton(PopupField::Password)->toolTip(),
                 QStringLiteral("Copy field to clipboard"));
        QCOMPARE(p.popup->WebButton()->toolTip(), QStringLiteral("Go to website"));
        for (const PopupField field : kAllFields) {
            QVERIFY(p.popup->Field(field)->isReadOnly());
            QCOMPARE(p.popup->Field(field)->DragMode(), int(kDragBoth));
            QVERIFY(!p.popup->CopyButton(field)->icon().isNull());
        }
        // Creating the window writes nothing.
        QVERIFY(p.store.Writes().empty());
    }

    // ---- the tree ----

    void treeHoldsEveryFolderAndRecordSortedAndExpanded() {
        Popup p;
        QCOMPARE(p.Tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* root = p.Root();
        QCOMPARE(root->text(0), QStringLiteral("Vault.zvd"));
        QCOMPARE(ChildTexts(root), (QStringList{"Archive", "banking", "Work"}));
        // Sub-folders and records sorted together, without regard to case.
        QCOMPARE(ChildTexts(p.Item("banking")),
                 (QStringList{"bank", "Cards", "Deposit", "Mail", "Mail"}));
        QCOMPARE(ChildTexts(p.Item("Work")), (QStringList{"Alpha", "zeta"}));
        QCOMPARE(ChildTexts(p.Item("Cards")), QStringList{"Amex"});
        QCOMPARE(ChildTexts(p.Item("Old")), QStringList{"Legacy"});

        // Collapsed in the folder tree, open here.
        for (QTreeWidgetItemIterator it(p.Tree()); *it; ++it) {
            if ((*it)->childCount() > 0) {
                QVERIFY2((*it)->isExpanded(), qPrintable((*it)->text(0)));
            }
            QVERIFY(!(*it)->icon(0).isNull());
            QVERIFY(!(*it)->isHidden());
        }
        QCOMPARE(p.Tree()->currentItem(), nullptr);
    }

    void recordsWithOneSiteNameAreAllThere() {
        Popup p;
        QTreeWidgetItem* first = p.Item("Mail", 0);
        QTreeWidgetItem* second = p.Item("Mail", 1);
        QVERIFY(first && second);
        QCOMPARE(first->parent(), second->parent());
        QCOMPARE(first->parent()->indexOfChild(second), first->parent()->indexOfChild(first) + 1);
        // Equal names keep their stored order.
        QCOMPARE(CPasswordPopup::IndexOf(first), 0);
        QCOMPARE(CPasswordPopup::IndexOf(second), 2);
        p.Tree()->setCurrentItem(second);
        QCOMPARE(p.Text(PopupField::UserName), QStringLiteral("bob"));
    }

    void itemDataCarriesKindAndIndex() {
        QCOMPARE(CPasswordPopup::PackItemData(0, 0xFFFF), 0x0000FFFFu);
        QCOMPARE(CPasswordPopup::PackItemData(1, 3), 0x00010003u);
        QCOMPARE(CPasswordPopup::PackItemData(2, 70000), 0x00021170u);  // the index wraps

        Popup p;
        const auto packed = [](const QTreeWidgetItem* item) {
            return item->data(0, CPasswordPopup::kPackedRole).toUInt();
        };
        QCOMPARE(packed(p.Root()), 0x0000FFFFu);
        QCOMPARE(CPasswordPopup::KindOf(p.Root()), int(CPasswordPopup::kRootItem));
        QCOMPARE(CPasswordPopup::IndexOf(p.Root()), CPasswordPopup::kRootIndex);
        QCOMPARE(packed(p.Item("Cards")), 0x00010002u);
        QCOMPARE(CPasswordPopup::KindOf(p.Item("Cards")), int(CPasswordPopup::kFolderItem));
        QCOMPARE(packed(p.Item("Archive")), 0x00010003u);
        QCOMPARE(packed(p.Item("bank")), 0x00020001u);
        QCOMPARE(packed(p.Item("Deposit")), 0x00020003u);
        QCOMPARE(CPasswordPopup::KindOf(p.Item("Deposit")), int(CPasswordPopup::kRecordItem));
        QCOMPARE(CPasswordPopup::KindOf(nullptr), -1);
    }

    void recordsPastTheSixteenBitLimitStillShow() {
        Popup p;
        CFolder* big = p.folders.AppendFolder();
        big->SetName("Big");
        constexpr int kCount = 65536 + 2;
        big->ReserveRecords(kCount);
        for (int i = 0; i < kCount; ++i) {
            big->AppendRecord()->SetText(RecordField::SiteName, "r");
        }
        big->RecordAt(kCount - 1)->SetText(RecordField::UserName, "last");
        big->RecordAt(1)->SetText(RecordField::UserName, "second");
        p.popup->Refresh(&p.folders, QStringLiteral("Big.zvd"));

        p.popup->SelectRecord(p.folders.Count() - 1, kCount - 1);
        QTreeWidgetItem* last = p.Tree()->currentItem();
        QVERIFY(last != nullptr);
        QCOMPARE(CPasswordPopup::IndexOf(last), kCount - 1);
        // The packed form alone would name record 1.
        QCOMPARE(last->data(0, CPasswordPopup::kPackedRole).toUInt() & 0xFFFFu, 1u);
        QCOMPARE(p.Text(PopupField::UserName), QStringLiteral("last"));
    }

    void namesShowAsTheUserWroteThem() {
        // Windows-1252 bytes of an older file, and UTF-8.
        Popup p({}, {{"Caf\xE9", kTopLevel, 0, {{"\xCE\xA9mega", "", "J\xFCrgen", "", "", ""}}}});
        QCOMPARE(ChildTexts(p.Root()), QStringList{QStringLiteral("Caf\u00E9")});
        QTreeWidgetItem* record = p.Item("\xCE\xA9mega");
        QVERIFY(record != nullptr);
        p.Tree()->setCurrentItem(record);
        QCOMPARE(p.Text(PopupField::UserName), QStringLiteral("J\u00FCrgen"));
    }

    void refreshStartsOverAndNoDocumentEmptiesTheTree() {
        Popup p;
        p.Tree()->setCurrentItem(p.Item("bank"));
        QVERIFY(!p.Text(PopupField::Password).isEmpty());

        p.folders.FolderAt(0)->AppendRecord()->SetText(RecordField::SiteName, "New");
        p.popup->Refresh(&p.folders, QStringLiteral("Other.zvd"));
        QCOMPARE(p.Root()->text(0), QStringLiteral("Other.zvd"));
        QCOMPARE(ChildTexts(p.Item("Work")), (QStringList{"Alpha", "New", "zeta"}));
        QCOMPARE(p.Tree()->currentItem(), nullptr);
        p.ExpectEmpty();

        p.popup->Refresh(nullptr, QString());
        QCOMPARE(p.Tree()->topLevelItemCount(), 0);
        p.ExpectEmpty();
    }

    // ---- fields ----

    void selectingARecordShowsItsFieldsMaskedAsAsked() {
        Popup p;
        p.Tree()->setCurrentItem(p.Item("Mail"));
        QCOMPARE(p.Text(PopupField::Location), QStringLiteral("https://mail.example.com"));
        QCOMPARE(p.Text(PopupField::UserName), QStringLiteral("ann"));
        QCOMPARE(p.Text(PopupField::Password), QStringLiteral("s3cret!"));
        QCOMPARE(p.Text(PopupField::AccountName), QStringLiteral("Main"));
        QCOMPARE(p.Text(PopupField::AccountNumber), QStringLiteral("12-34"));

        QCOMPARE(p.Shown(PopupField::Location), QStringLiteral("https://mail.example.com"));
        QCOMPARE(p.Shown(PopupField::UserName), QStringLiteral("ann"));
        QCOMPARE(p.Shown(PopupField::Password), QStringLiteral("*******"));
        QCOMPARE(p.Shown(PopupField::AccountName), QStringLiteral("Main"));
        QCOMPARE(p.Shown(PopupField::AccountNumber), QStringLiteral("*****"));
        for (const PopupField field : kAllFields) {
            QVERIFY(p.CopyEnabled(field));
        }
        QVERIFY(p.popup->WebButton()->isEnabled());

        // The options dialog changes the masks of a shown record.
        settings::PopupFlags flags;
        flags.location = 1;
        flags.userName = 1;
        p.popup->SetMasks(flags);
        QCOMPARE(p.Shown(PopupField::Location), QString(24, QLatin1Char('*')));
        QCOMPARE(p.Shown(PopupField::UserName), QStringLiteral("***"));
        QCOMPARE(p.Shown(PopupField::Password), QStringLiteral("s3cret!"));
        QCOMPARE(p.Shown(PopupField::AccountNumber), QStringLiteral("12-34"));

        // Only fields with text can be copied, and only a location opened.
        p.Tree()->setCurrentItem(p.Item("Mail", 1));  // a user name and nothing else
        QVERIFY(p.CopyEnabled(PopupField::UserName));
        for (const PopupField field : {PopupField::Location, PopupField::Password,
                                       PopupField::AccountName, PopupField::AccountNumber}) {
            QVERIFY(!p.CopyEnabled(field));
        }
        QVERIFY(!p.popup->WebButton()->isEnabled());
    }

    void selectingAFolderOrTheRootEmptiesTheFields() {
        Popup p;
        for (const char* name : {"banking", "Cards", "Vault.zvd"}) {
            p.Tree()->setCurrentItem(p.Item("bank"));
            QCOMPARE(p.Text(PopupField::Password), QStringLiteral("b4nk"));
            QVERIFY(p.popup->WebButton()->isEnabled());
            p.Tree()->setCurrentItem(p.Item(name));
            QCOMPARE(p.Tree()->currentItem()->text(0), QString::fromUtf8(name));
            p.ExpectEmpty();
        }
    }

    void refreshRecordShowsAnEditedRecordAgain() {
        Popup p;
        p.Tree()->setCurrentItem(p.Item("bank"));
        CRecord* record = p.folders.FolderAt(1)->RecordAt(1);
        record->SetText(RecordField::Password, "n3w");
        record->SetText(RecordField::Location, "");
        QCOMPARE(p.Text(PopupField::Password), QStringLiteral("b4nk"));
        p.popup->RefreshRecord();
        QCOMPARE(p.Text(PopupField::Password), QStringLiteral("n3w"));
        QVERIFY(p.Text(PopupField::Location).isEmpty());
        QVERIFY(!p.popup->WebButton()->isEnabled());
        QVERIFY(!p.CopyEnabled(PopupField::Location));
    }

    void copyingAMaskedPasswordCopiesTheRealOne() {
        Popup p;
        p.Tree()->setCurrentItem(p.Item("Mail"));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::mouseClick(p.popup->CopyButton(PopupField::Password), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("s3cret!"));
        QVERIFY(p.popup->Field(PopupField::Password)->Masked());
        QCOMPARE(p.Shown(PopupField::Password), QStringLiteral("*******"));

        QTest::mouseClick(p.popup->CopyButton(PopupField::Location), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://mail.example.com"));
        QTest::mouseClick(p.popup->CopyButton(PopupField::AccountNumber), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("12-34"));
    }

    void webOpensTheLocation() {
        std::vector<QUrl> opened;
        SetUrlOpenerForTests([&opened](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        Popup p;
        p.Tree()->setCurrentItem(p.Item("zeta"));
        QTest::mouseClick(p.popup->WebButton(), Qt::LeftButton);
        QCOMPARE(opened.size(), std::size_t(1));
        QCOMPARE(opened[0], QUrl(QStringLiteral("https://zeta.example.com")));

        // Disabled without a location, so a click does nothing.
        p.Tree()->setCurrentItem(p.Item("Deposit"));
        QTest::mouseClick(p.popup->WebButton(), Qt::LeftButton);
        QCOMPARE(opened.size(), std::size_t(1));
    }

    // ---- placement ----

    void storedPositionIsUsedOnlyOnTheScreen_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("used");
        const QRect desktop = Desktop();
        QTest::newRow("top left") << 0 << 0 << true;
        QTest::newRow("last pixel") << desktop.width() - 1 << desktop.height() - 1 << true;
        QTest::newRow("none stored") << -1 << -1 << false;
        QTest::newRow("y -1") << 10 << -1 << false;
        QTest::newRow("x at width") << desktop.width() << 10 << false;
        QTest::newRow("y at height") << 10 << desktop.height() << false;
    }
    void storedPositionIsUsedOnlyOnTheScreen() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, used);
        Popup p({x, y});
        const QRect frame = p.popup->frameGeometry();
        if (used) {
            QCOMPARE(frame.topLeft(), QPoint(x, y));
        } else {
            const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
            QVERIFY2((frame.center() - centre).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("%1,%2").arg(frame.x()).arg(frame.y())));
        }
        QCOMPARE(p.popup->size(),
                 QSize(CPasswordPopup::kDefaultWidth, CPasswordPopup::kDefaultHeight));
        QVERIFY(p.store.Writes().empty());
    }

    void everyMoveIsWrittenAtOnce() {
        Popup p({10, 20});
        p.popup->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.popup.get()));
        p.store.ClearWrites();
        p.popup->move(120, 80);
        QTRY_COMPARE(StoredInt(p.store, "PopupX"), 120);
        QCOMPARE(StoredInt(p.store, "PopupY"), 80);
        p.popup->move(0, 5);
        QTRY_COMPARE(StoredInt(p.store, "PopupX"), 0);
        QCOMPARE(StoredInt(p.store, "PopupY"), 5);

        // A popup opened later starts where this one was left.
        p.popup->hide();
        CPasswordPopup next(p.appSettings, p.store);
        QCOMPARE(next.frameGeometry().topLeft(), QPoint(0, 5));
    }

    // ---- pinning and visibility ----

    void pinFollowsTheSettingAndWritesIt() {
        Popup p({30, 40});
        QVERIFY(p.popup->PinButton()->isCheckable());
        QVERIFY(p.popup->PinButton()->isChecked());
        QVERIFY(p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        p.popup->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.popup.get()));
        QSignalSpy visibility(p.popup.get(), &CPasswordPopup::VisibilityChanged);
        QTest::mouseClick(p.popup->PinButton(), Qt::LeftButton);
        QVERIFY(!p.popup->PinButton()->isChecked());
        QVERIFY(!p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(p.appSettings.pinPopup, 0);
        QVERIFY(p.popup->isVisible());
        QCOMPARE(p.popup->frameGeometry().topLeft(), QPoint(30, 40));
        QCOMPARE(p.popup->windowType(), Qt::Tool);

        QTest::mouseClick(p.popup->PinButton(), Qt::LeftButton);
        QVERIFY(p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(p.appSettings.pinPopup, 1);
        QVERIFY(p.popup->isVisible());
        QCOMPARE(p.popup->frameGeometry().topLeft(), QPoint(30, 40));
        // Re-flagging hides and shows the window, but it was never away for the user.
        QCOMPARE(visibility.count(), 0);
        QCOMPARE(StoredInt(p.store, "PopupX"), 30);
    }

    void showingAppliesTheStoredPinState() {
        Popup p;
        QSignalSpy visibility(p.popup.get(), &CPasswordPopup::VisibilityChanged);
        p.appSettings.pinPopup = 0;
        p.popup->show();
        QVERIFY(!p.popup->PinButton()->isChecked());
        QVERIFY(!p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        p.popup->hide();
        p.appSettings.pinPopup = 1;
        p.popup->show();
        QVERIFY(p.popup->PinButton()->isChecked());
        QVERIFY(p.popup->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(visibility.count(), 3);
        QCOMPARE(visibility.at(0).at(0).toBool(), true);
        QCOMPARE(visibility.at(1).at(0).toBool(), false);
        QCOMPARE(visibility.at(2).at(0).toBool(), true);
    }

    void escapeHidesThePopup() {
        Popup p;
        for (QWidget* target :
             {static_cast<QWidget*>(p.Tree()), static_cast<QWidget*>(p.popup->Filter())}) {
            p.popup->show();
            QVERIFY(p.popup->isVisible());
            QSignalSpy visibility(p.popup.get(), &CPasswordPopup::VisibilityChanged);
            QTest::keyClick(target, Qt::Key_Escape);
            QVERIFY(!p.popup->isVisible());
            QCOMPARE(visibility.count(), 1);
            QCOMPARE(visibility.at(0).at(0).toBool(), false);
        }
    }

    // ---- the filter ----

    void filterNarrowsToMatchingRecords() {
        Popup p;
        QLineEdit* filter = p.popup->Filter();
        QVERIFY(filter->isClearButtonEnabled());
        QCOMPARE(filter->placeholderText(), QStringLiteral("Filter"));
        const QStringList everything = VisibleTexts(p.Tree());

        // By site name, location (Alpha's "al@mail.test" is its user name) and case-insensitively.
        filter->setText(QStringLiteral("MAIL"));
        QCOMPARE(VisibleTexts(p.Tree()),
                 (QStringList{"Vault.zvd", "banking", "Mail", "Mail", "Work", "Alpha"}));
        QCOMPARE(p.Tree()->currentItem(), nullptr);

        // By location only.
        filter->setText(QStringLiteral("example.ORG"));
        QCOMPARE(VisibleTexts(p.Tree()), (QStringList{"Vault.zvd", "Work", "Alpha"}));

        // By user name, two folders deep; the one match is selected and shown.
        filter->setText(QStringLiteral("OldUser"));
        QCOMPARE(VisibleTexts(p.Tree()), (QStringList{"Vault.zvd", "Archive", "Old", "Legacy"}));
        QCOMPARE(p.Tree()->currentItem(), p.Item("Legacy"));
        QCOMPARE(p.Text(PopupField::UserName), QStringLiteral("olduser"));

        // The password is not searched; a shown record that no longer matches is let go.
        filter->setText(QStringLiteral("b4nk"));
        QCOMPARE(VisibleTexts(p.Tree()), QStringList{"Vault.zvd"});
        QCOMPARE(p.Tree()->currentItem(), nullptr);
        p.ExpectEmpty();

        filter->clear();
        QCOMPARE(VisibleTexts(p.Tree()), everything);
    }

    void filterSurvivesARefresh() {
        Popup p;
        p.popup->Filter()->setText(QStringLiteral("zeta"));
        p.folders.FolderAt(1)->AppendRecord()->SetText(RecordField::SiteName, "Zetabank");
        p.popup->Refresh(&p.folders, QStringLiteral("Vault.zvd"));
        QCOMPARE(VisibleTexts(p.Tree()),
                 (QStringList{"Vault.zvd", "banking", "Zetabank", "Work", "zeta"}));
        p.popup->Filter()->clear();
        QCOMPARE(VisibleTexts(p.Tree()).size(), 15);
    }

    void downArrowInTheFilterGoesToTheTree() {
        Popup p;
        p.popup->show();
        p.popup->Filter()->setFocus();
        p.popup->Filter()->setText(QStringLiteral("example.com"));
        QTest::keyClick(p.popup->Filter(), Qt::Key_Down);
        QCOMPARE(p.popup->focusWidget(), static_cast<QWidget*>(p.Tree()));
        QVERIFY(p.Tree()->currentItem() != nullptr);
        QVERIFY(!p.Tree()->currentItem()->isHidden());
    }
};

QTEST_MAIN(PasswordPopupTest)
#include "password_popup_test.moc"
