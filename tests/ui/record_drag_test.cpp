// Dragging records from the record list onto the folder tree, on the offscreen platform: the
// block and its run-private type, the copy or move, the tree as the drop target and the view as
// the drag's source.

#include <QApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "report/date_format.h"
#include "ui/folder_tree.h"
#include "ui/record_drag.h"
#include "ui/zelvant_view.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

const QString kRun = QStringLiteral("ZLVDragDropFormat2002 5 14 9 3 27 512");
const QString kOtherRun = QStringLiteral("ZLVDragDropFormat2002 5 14 9 3 27 513");

QByteArray Words(std::initializer_list<quint32> words) {
    QByteArray bytes(static_cast<qsizetype>(words.size() * 4), '\0');
    char* at = bytes.data();
    for (const quint32 word : words) {
        qToLittleEndian<quint32>(word, at);
        at += 4;
    }
    return bytes;
}

// Records are named after their folder and first position: "Bank0", "Bank1"...
void AddFolder(CFolderSequence& folders, const std::string& name, FolderIndex parent, int count) {
    CFolder* folder = folders.AppendFolder();
    folder->SetName(name);
    folder->SetParent(parent);
    for (int r = 0; r < count; ++r) {
        folder->AppendRecord()->SetText(RecordField::SiteName, name + std::to_string(r));
    }
}

QStringList Sites(const CFolderSequence& folders, FolderIndex index) {
    QStringList sites;
    const CFolder* folder = folders.FolderAt(index);
    for (int r = 0; folder != nullptr && r < folder->RecordCount(); ++r) {
        sites << QString::fromStdString(folder->RecordAt(r)->GetText(RecordField::SiteName));
    }
    return sites;
}

class FakeHost : public IFolderHost, public IViewHost {
  public:
    CFolderSequence& Folders() override { return folders; }
    settings::AppSettings& Settings() override { return settings; }
    QString DocumentTitle() const override { return QStringLiteral("Vault.zvd"); }
    void FoldersChanged() override { ++changes; }
    void RecordsChanged() override { ++changes; }
    void ShowMessage(const QString& text, QMessageBox::Icon) override { messages << text; }

    CFolderSequence folders;
    settings::AppSettings settings;
    int changes = 0;
    QStringList messages;
};

constexpr FolderIndex kBank = 0, kCards = 1, kMail = 2, kWork = 3;

// root ─┬─ Bank (4 records, open) ── Cards
//       └─ Mail (1 record) ── Work
// with Bank selected, as when its records are on show.
struct TreeWindow {
    TreeWindow() : tree(host) {
        AddFolder(host.folders, "Bank", kTopLevel, 4);
        AddFolder(host.folders, "Cards", kBank, 0);
        AddFolder(host.folders, "Mail", kTopLevel, 1);
        AddFolder(host.folders, "Work", kMail, 0);
        host.folders.FolderAt(kBank)->SetExpanded(1);
        tree.SetDragTimerInterval(3600 * 1000);
        tree.SetRecordDragFormat(kRun);
        tree.SetRecordDragMenuRunner([this](const QPoint& globalPos) {
            menuAt.push_back(globalPos);
            return menuChoice;
        });
        tree.resize(240, 300);
        tree.Rebuild();
        tree.SelectFolder(kBank);
        tree.show();
    }
    QPoint At(FolderIndex folder) const {
        return tree.visualItemRect(tree.ItemOf(folder)).center();
    }
    QPoint RootAt() const { return tree.visualItemRect(tree.RootItem()).center(); }

    // True when the tree offers a copy there. Moves start from the previous answer, as Qt's do.
    bool Enter(const QMimeData& data, QPoint pos) { return Send<QDragEnterEvent>(data, pos); }
    bool Move(const QMimeData& data, QPoint pos) { return Send<QDragMoveEvent>(data, pos); }
    template <typename Event>
    bool Send(const QMimeData& data, QPoint pos) {
        Event event(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        event.accept();
        QApplication::sendEvent(tree.viewport(), &event);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    }
    void Leave() {
        QDragLeaveEvent event;
        QApplication::sendEvent(tree.viewport(), &event);
    }
    // True when the tree took the drop.
    bool EnterAndDrop(const QMimeData& data, QPoint pos) {
        Enter(data, pos);
        QDropEvent event(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::NoButton, {});
        event.ignore();
        QApplication::sendEvent(tree.viewport(), &event);
        return event.isAccepted();
    }

    FakeHost host;
    CFolderTree tree;
    int menuChoice = kCancelDragCommand;
    std::vector<QPoint> menuAt;
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, {});
    QApplication::sendEvent(widget, &event);
}

// Folder 0 holds "d" "c" "b" "a" "e", listed by site name, so rows a b c d e hold records
// 3 2 1 0 4; folder 1 is empty. Drags are caught instead of run.
struct ViewWindow {
    ViewWindow() : view(host, std::make_unique<report::CFixedDateFormatter>()) {
        CFolder* folder = host.folders.AppendFolder();
        for (const char* site : {"d", "c", "b", "a", "e"}) {
            folder->AppendRecord()->SetText(RecordField::SiteName, site);
        }
        AddFolder(host.folders, "Other", kTopLevel, 0);
        view.InitialUpdate(std::string());
        view.SetRecordDragFormat(kRun);
        view.SetRecordDragStarter([this](std::unique_ptr<QMimeData> mime, Qt::DropActions actions) {
            ++drags;
            allowed = actions;
            payload = ReadRecordDragData(*mime, kRun);
            return onDrag ? onDrag() : Qt::IgnoreAction;
        });
        view.resize(700, 300);
        view.ShowFolder(0);
        for (const RecordColumn& column : RecordColumns()) {
            if (column.field == RecordField::SiteName) {
                view.List().SortBy(column.subitem, true);
            }
        }
        view.show();
    }
    QWidget* Port() { return view.List().viewport(); }
    QPoint RowAt(int row) {
        return view.List().visualRect(view.List().model()->index(row, 0)).center();
    }
    // Presses on a row, creeps within the drag distance, then goes well past it.
    void PressAndDrag(Qt::MouseButton button, int row) {
        const int before = drags;
        SendMouse(Port(), QEvent::MouseButtonPress, RowAt(row), button, button);
        SendMouse(Port(), QEvent::MouseMove, RowAt(row) + QPoint(1, 0), Qt::NoButton, button);
        QCOMPARE(drags, before);
        SendMouse(Port(), QEvent::MouseMove, RowAt(row) + QPoint(40, 8), Qt::NoButton, button);
        SendMouse(Port(), QEvent::MouseMove, RowAt(row) + QPoint(60, 9), Qt::NoButton, button);
    }

    FakeHost host;
    CZelvantView view;
    int drags = 0;
    Qt::DropActions allowed;
    std::optional<RecordDragPayload> payload;
    std::function<Qt::DropAction()> onDrag;
};

}  // namespace

class RecordDragTest : public QObject {
    Q_OBJECT

  private slots:
    void block() {
        const RecordDragPayload payload{2, 3, {1, 4, 7}};
        const QByteArray encoded = EncodeRecordDrag(payload);
        QCOMPARE(encoded.size(), 4096);
        QCOMPARE(encoded.left(24), Words({2, 3, 3, 1, 4, 7}));
        QCOMPARE(encoded.mid(24), QByteArray(4096 - 24, '\0'));
        QVERIFY(DecodeRecordDrag(encoded) == payload);
        QVERIFY(DecodeRecordDrag(Words({2, 3, 3, 1, 4, 7})) == payload);
        QVERIFY(DecodeRecordDrag(Words({2, 3, 3, 1, 4, 7, 2, 0xFFFFFFFF})) == payload);
        QCOMPARE(EncodeRecordDrag({1, 0, {9, 2, 5}}).left(24), Words({1, 0, 3, 2, 5, 9}));

        // 1021 positions fill one step exactly; one more starts the next.
        RecordDragPayload many{1, 0x7FFFFFFF, {}};
        for (int r = 0; r < 1021; ++r) {
            many.records.push_back(r * 2);
        }
        QCOMPARE(EncodeRecordDrag(many).size(), 4096);
        many.records.push_back(0x7FFFFFFF);
        QCOMPARE(EncodeRecordDrag(many).size(), 8192);
        QVERIFY(DecodeRecordDrag(EncodeRecordDrag(many)) == many);
    }

    void brokenBlocksAreRefused() {
        const QByteArray good = Words({2, 3, 3, 1, 4, 7});
        for (const qsizetype length : {0, 8, 20, 23}) {
            QVERIFY(!DecodeRecordDrag(good.left(length)));
        }
        QByteArray padded = EncodeRecordDrag({1, 0, {0}});
        for (const quint32 count : {1022u, 0xFFFFFFFFu, 1021u}) {  // 1021: zeros are not ascending
            qToLittleEndian<quint32>(count, padded.data() + 8);
            QVERIFY(!DecodeRecordDrag(padded));
        }
        // Buttons other than 1 and 2, the top level or numbers past the signed range, nothing
        // dragged, positions not strictly ascending.
        for (const QByteArray& bad :
             {Words({0, 3, 1, 1}), Words({3, 3, 1, 1}), Words({1, 0xFFFFFFFF, 1, 1}),
              Words({1, 0x80000000, 1, 1}), Words({1, 3, 0}), Words({1, 3, 1, 0x80000000}),
              Words({1, 3, 2, 4, 4}), Words({1, 3, 2, 4, 1})}) {
            QVERIFY(!DecodeRecordDrag(bad));
        }
    }

    void theTypeBelongsToTheRun() {
        const QString base = QStringLiteral("application/x-zelvant-records;run=");
        QCOMPARE(RecordDragMimeType(kRun),
                 base + QStringLiteral("\"") + kRun + QStringLiteral("\""));
        QVERIFY(RecordDragMimeType(kRun) != RecordDragMimeType(kOtherRun));
        QCOMPARE(RecordDragMimeType(QStringLiteral("a\"b\\c")),
                 base + QStringLiteral("\"a\\\"b\\\\c\""));
        QCOMPARE(RecordDragMimeType(QStringLiteral("x\n1%\u00E9")),
                 base + QStringLiteral("\"x%0A1%25%C3%A9\""));

        const RecordDragPayload payload{1, 4, {0, 2}};
        const std::unique_ptr<QMimeData> ours = MakeRecordDragData(kRun, payload);
        QCOMPARE(ours->formats(), QStringList{RecordDragMimeType(kRun)});
        QVERIFY(ReadRecordDragData(*ours, kRun) == payload);
        QVERIFY(!ReadRecordDragData(*ours, kOtherRun));
        QVERIFY(!ReadRecordDragData(*ours, QString()));
        QMimeData other;
        other.setText(QStringLiteral("Bank"));
        QVERIFY(!ReadRecordDragData(other, kRun));
        other.setData(RecordDragMimeType(kRun), Words({1, 4, 5, 0}));
        QVERIFY(!ReadRecordDragData(other, kRun));
    }

    void copyAndMove() {
        CFolderSequence folders;
        AddFolder(folders, "A", kTopLevel, 5);
        AddFolder(folders, "B", kTopLevel, 1);
        const DateTimeValue created{36000.5, 0};
        folders.FolderAt(0)->RecordAt(2)->SetDate(RecordField::Created, created);

        const RecordTransfer copy = CopyOrMoveRecords(folders, {2, 0, {0, 2, 4}}, 1, false);
        QVERIFY(!copy.refused && !copy.outOfMemory && copy.copied == 3 && copy.removed == 0);
        QCOMPARE(Sites(folders, 1), (QStringList{"B0", "A0", "A2", "A4"}));
        QCOMPARE(Sites(folders, 0), (QStringList{"A0", "A1", "A2", "A3", "A4"}));
        QVERIFY(folders.FolderAt(1)->RecordAt(2)->GetDate(RecordField::Created) == created);

        const RecordTransfer move = CopyOrMoveRecords(folders, {1, 0, {0, 2, 4}}, 1, true);
        QVERIFY(move.copied == 3 && move.removed == 3);
        QCOMPARE(Sites(folders, 0), (QStringList{"A1", "A3"}));
        QCOMPARE(Sites(folders, 1).mid(4), (QStringList{"A0", "A2", "A4"}));

        // Refused outright: onto the source, the top level or no folder; from no folder; records
        // out of range, none, or listed twice.
        for (const FolderIndex target : {0, -1, 2}) {
            QVERIFY(CopyOrMoveRecords(folders, {1, 0, {1}}, target, true).refused);
        }
        for (const std::vector<int>& records : {std::vector<int>{2}, {-1}, {}, {1, 0, 1}}) {
            QVERIFY(CopyOrMoveRecords(folders, {1, 0, records}, 1, true).refused);
        }
        QVERIFY(CopyOrMoveRecords(folders, {1, 5, {0}}, 1, true).refused);
        QCOMPARE(Sites(folders, 0), (QStringList{"A1", "A3"}));
        QCOMPARE(folders.FolderAt(1)->RecordCount(), 7);
    }

    void aFailedCopyKeepsTheSource() {
        CFolderSequence folders;
        AddFolder(folders, "A", kTopLevel, 5);
        AddFolder(folders, "B", kTopLevel, 0);
        int calls = 0;
        const RecordCopier thirdFails = [&calls](CFolderSequence& f, FolderIndex source, int record,
                                                 FolderIndex target) {
            return ++calls < 3 && f.CopyRecord(source, record, target);
        };
        const RecordTransfer move =
            CopyOrMoveRecords(folders, {1, 0, {0, 1, 3, 4}}, 1, true, thirdFails);
        QVERIFY(move.outOfMemory && move.copied == 2 && move.removed == 0 && calls == 3);
        QCOMPARE(Sites(folders, 1), (QStringList{"A0", "A1"}));
        QCOMPARE(Sites(folders, 0), (QStringList{"A0", "A1", "A2", "A3", "A4"}));

        // Memory running out while a record is filled in leaves no half-made record behind.
        const RecordCopier throwsWhenFilling = [](CFolderSequence& f, FolderIndex, int,
                                                  FolderIndex target) -> bool {
            f.FolderAt(target)->AppendRecord();
            throw std::bad_alloc();
        };
        QVERIFY(CopyOrMoveRecords(folders, {1, 0, {2}}, 1, false, throwsWhenFilling).outOfMemory);
        QCOMPARE(folders.FolderAt(1)->RecordCount(), 2);
    }

    void leftDropMoves() {
        TreeWindow w;
        QSignalSpy dropped(&w.tree, &CFolderTree::RecordsDropped);
        const std::unique_ptr<QMimeData> data = MakeRecordDragData(kRun, {1, kBank, {0, 2, 3}});
        // Over the root the drag is still taken, so that the moves come; it offers no drop.
        QVERIFY(!w.Enter(*data, w.RootAt()));
        QVERIFY(w.tree.RecordDragOver() && w.tree.DragTimerActive());
        QVERIFY(w.Move(*data, w.At(kMail)));
        QCOMPARE(w.tree.DropHighlight(), w.tree.ItemOf(kMail));
        QVERIFY(!w.Move(*data, w.At(kBank)));
        QCOMPARE(w.tree.DropHighlight(), nullptr);
        QVERIFY(w.Move(*data, w.At(kCards)));

        QVERIFY(w.EnterAndDrop(*data, w.At(kMail)));
        QVERIFY(!w.tree.RecordDragOver() && !w.tree.DragTimerActive() && !w.tree.DropHighlight());
        QCOMPARE(Sites(w.host.folders, kMail), (QStringList{"Mail0", "Bank0", "Bank2", "Bank3"}));
        QCOMPARE(Sites(w.host.folders, kBank), QStringList{"Bank1"});
        QVERIFY(w.host.changes == 1 && w.menuAt.empty() && w.host.messages.isEmpty());
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.last().at(0).toInt(), kBank);
        QCOMPARE(w.tree.SelectedFolder(), kBank);
    }

    void rightDropAsksFirst() {
        TreeWindow w;
        QSignalSpy dropped(&w.tree, &CFolderTree::RecordsDropped);
        const std::unique_ptr<QMimeData> data = MakeRecordDragData(kRun, {2, kBank, {1, 3}});
        w.menuChoice = kCopyRecordsCommand;
        QVERIFY(w.EnterAndDrop(*data, w.At(kCards)));
        QCOMPARE(w.menuAt, std::vector<QPoint>{w.tree.viewport()->mapToGlobal(w.At(kCards))});
        QCOMPARE(Sites(w.host.folders, kCards), (QStringList{"Bank1", "Bank3"}));
        QCOMPARE(w.host.folders.FolderAt(kBank)->RecordCount(), 4);

        w.menuChoice = kCancelDragCommand;
        QVERIFY(!w.EnterAndDrop(*data, w.At(kMail)));
        QVERIFY(w.menuAt.size() == 2 && w.host.changes == 1 && dropped.count() == 1);

        w.menuChoice = kMoveRecordsCommand;
        QVERIFY(w.EnterAndDrop(*data, w.At(kMail)));
        QCOMPARE(Sites(w.host.folders, kMail), (QStringList{"Mail0", "Bank1", "Bank3"}));
        QCOMPARE(Sites(w.host.folders, kBank), (QStringList{"Bank0", "Bank2"}));
        QVERIFY(w.host.changes == 2 && dropped.count() == 2);
    }

    void dropsThatAreNotTaken() {
        TreeWindow w;
        const std::unique_ptr<QMimeData> data = MakeRecordDragData(kRun, {1, kBank, {0}});
        QVERIFY(!w.EnterAndDrop(*data, w.RootAt()));
        QVERIFY(!w.EnterAndDrop(*data, w.At(kBank)));
        QVERIFY(!w.EnterAndDrop(*data, {20, w.tree.viewport()->height() - 5}));
        // Another instance's records, and data without any.
        const std::unique_ptr<QMimeData> foreign = MakeRecordDragData(kOtherRun, {1, kBank, {0}});
        QVERIFY(!w.Enter(*foreign, w.At(kMail)));
        QVERIFY(!w.tree.RecordDragOver() && !w.tree.DragTimerActive());
        QVERIFY(!w.EnterAndDrop(*foreign, w.At(kMail)));
        QMimeData text;
        text.setText(QStringLiteral("Bank0"));
        QVERIFY(!w.EnterAndDrop(text, w.At(kMail)));
        // The selected folder is the source, whatever the data names; gone records are refused.
        w.tree.SelectFolder(kMail);
        QVERIFY(!w.EnterAndDrop(*data, w.At(kMail)));
        w.tree.SelectFolder(kBank);
        QVERIFY(!w.EnterAndDrop(*MakeRecordDragData(kRun, {1, kBank, {3, 4}}), w.At(kMail)));
        w.tree.SetRecordDragFormat(QString());
        QVERIFY(!w.EnterAndDrop(*data, w.At(kMail)));
        QVERIFY(w.host.changes == 0 && w.host.folders.FolderAt(kMail)->RecordCount() == 1);
    }

    void hoveringScrollsAndOpens() {
        TreeWindow w;
        const std::unique_ptr<QMimeData> data = MakeRecordDragData(kRun, {1, kBank, {0}});
        w.tree.SetDragTimerInterval(5);
        QVERIFY(w.Enter(*data, w.At(kMail)));
        QTRY_VERIFY(w.tree.ItemOf(kMail)->isExpanded());  // on the third tick
        w.Leave();
        QVERIFY(!w.tree.RecordDragOver() && !w.tree.DragTimerActive() && !w.tree.DropHighlight());

        // Near the top the tree scrolls up, and the root on top is no target.
        w.tree.resize(240, 60);
        w.tree.scrollToItem(w.tree.ItemOf(kWork));
        w.Enter(*data, {20, 2});
        QTRY_COMPARE(w.tree.verticalScrollBar()->value(), 0);
        QTRY_COMPARE(w.tree.DropHighlight(), nullptr);
        w.Leave();
    }

    void dragFromTheView() {
        ViewWindow w;
        controls::CReportCtrl& list = w.view.List();
        for (const int row : {0, 2, 4}) {
            list.SelectItem(row);
        }
        QCOMPARE(list.SelectedItems(), (std::vector<int>{1, 3, 4}));
        w.PressAndDrag(Qt::LeftButton, 2);
        QCOMPARE(w.drags, 1);
        QVERIFY(w.payload == RecordDragPayload({1, 0, {1, 3, 4}}));
        QCOMPARE(w.allowed, Qt::CopyAction | Qt::MoveAction);
        // The release handed back after the drag is no click on the row it lands on.
        SendMouse(w.Port(), QEvent::MouseButtonRelease, w.RowAt(2), Qt::LeftButton, {});
        QCOMPARE(list.SelectedItems(), (std::vector<int>{1, 3, 4}));

        QSignalSpy menu(&w.view, &CZelvantView::RecordMenuRequested);
        w.PressAndDrag(Qt::RightButton, 4);
        QVERIFY(w.drags == 2 && w.payload == RecordDragPayload({2, 0, {1, 3, 4}}));
        SendMouse(w.Port(), QEvent::MouseButtonRelease, w.RowAt(4), Qt::RightButton, {});
        QCOMPARE(menu.count(), 0);

        // No drag after an ignored click, without a format or a folder.
        list.IgnoreNextClick();
        w.PressAndDrag(Qt::LeftButton, 2);
        SendMouse(w.Port(), QEvent::MouseButtonRelease, w.RowAt(2), Qt::LeftButton, {});
        QCOMPARE(w.drags, 2);
        w.view.SetRecordDragFormat(QString());
        QVERIFY(!w.view.StartRecordDrag(1));
        w.view.SetRecordDragFormat(kRun);
        QVERIFY(!w.view.StartRecordDrag(3));
        w.view.ShowFolder(1);
        QVERIFY(!w.view.StartRecordDrag(1));
    }

    void theListFollowsTheDrop() {
        ViewWindow w;
        controls::CReportCtrl& list = w.view.List();
        list.SelectItem(0);
        list.SelectItem(1);
        bool move = false;
        w.onDrag = [&w, &move] {
            CopyOrMoveRecords(w.host.folders, *w.payload, 1, move);
            return Qt::CopyAction;
        };
        // A copy leaves the folder as it was: selection and order stay.
        QVERIFY(w.view.StartRecordDrag(1));
        QCOMPARE(list.SelectedItems(), (std::vector<int>{2, 3}));
        QCOMPARE(list.ItemAt(0), 3);
        move = true;
        QVERIFY(w.view.StartRecordDrag(2));
        QCOMPARE(Sites(w.host.folders, 0), (QStringList{"d", "c", "e"}));
        QVERIFY(list.GetItemCount() == 3 && w.view.Source().Count() == 3);
    }
};

QTEST_MAIN(RecordDragTest)
#include "record_drag_test.moc"
