// Dragging records from the record list onto the folder tree: the block and its run-private type,
// the copy or move, the tree as the target and the view as the source.

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <QtEndian>
#include <memory>
#include <numeric>
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

QByteArray Words(std::initializer_list<quint32> words) {
    QByteArray bytes;
    for (const quint32 word : words) {
        const quint32 little = qToLittleEndian(word);
        bytes.append(reinterpret_cast<const char*>(&little), 4);
    }
    return bytes;
}

// Records are named after their folder and first position: "Bank0", "Bank1"...
void AddFolder(CFolderSequence& folders, const std::string& name, int count) {
    CFolder* folder = folders.AppendFolder();
    folder->SetName(name);
    for (int r = 0; r < count; ++r) {
        folder->AppendRecord()->SetText(RecordField::SiteName, name + std::to_string(r));
    }
}

QString Sites(const CFolderSequence& folders, FolderIndex index) {
    QStringList sites;
    const CFolder* folder = folders.FolderAt(index);
    for (int r = 0; r < folder->RecordCount(); ++r) {
        sites << QString::fromStdString(
            std::string(folder->RecordAt(r)->GetText(RecordField::SiteName)));
    }
    return sites.join(' ');
}

struct FakeHost : IFolderHost, IViewHost {
    CFolderSequence& Folders() override { return folders; }
    settings::AppSettings& Settings() override { return settings; }
    QString DocumentTitle() const override { return QStringLiteral("Vault.zvd"); }
    void FoldersChanged() override {}
    void RecordsChanged() override {}
    void ShowMessage(const QString& text, QMessageBox::Icon) override { QFAIL(qPrintable(text)); }

    CFolderSequence folders;
    settings::AppSettings settings;
};

}  // namespace

class RecordDragTest : public QObject {
    Q_OBJECT

  private slots:
    void blockAndTransfer() {
        const RecordDragPayload payload{2, 3, {1, 4, 7}};
        QCOMPARE(EncodeRecordDrag(payload), Words({2, 3, 3, 1, 4, 7}) + QByteArray(4072, '\0'));
        // The count decides, not the block's size; positions go out ascending.
        QVERIFY(DecodeRecordDrag(Words({2, 3, 3, 1, 4, 7, 2, 0xFFFFFFFF})) == payload);
        QCOMPARE(EncodeRecordDrag({1, 0, {9, 2, 5}}).left(24), Words({1, 0, 3, 2, 5, 9}));
        // 1021 positions fill one step exactly; one more starts the next.
        RecordDragPayload many{1, 0x7FFFFFFF, std::vector<int>(1021)};
        std::iota(many.records.begin(), many.records.end(), 0);
        QCOMPARE(EncodeRecordDrag(many).size(), 4096);
        many.records.push_back(0x7FFFFFFF);
        QCOMPARE(EncodeRecordDrag(many).size(), 8192);
        QVERIFY(DecodeRecordDrag(EncodeRecordDrag(many)) == many);

        // Too short for the count, buttons other than 1 and 2, numbers past the signed range,
        // nothing dragged, positions not strictly ascending.
        for (const QByteArray& bad :
             {QByteArray(), Words({2, 3}), Words({2, 3, 3, 1, 4}), Words({0, 3, 1, 1}),
              Words({3, 3, 1, 1}), Words({1, 0x80000000, 1, 1}), Words({1, 3, 1, 0x80000000}),
              Words({1, 3, 0}), Words({1, 3, 2, 4, 4}), Words({1, 3, 2, 4, 1})}) {
            QVERIFY(!DecodeRecordDrag(bad));
        }
        // Only this run's own type is read.
        const std::unique_ptr<QMimeData> ours = MakeRecordDragData(kRun, payload);
        QVERIFY(ReadRecordDragData(*ours, kRun) == payload);
        QVERIFY(!ReadRecordDragData(*ours, kRun + "1"));

        // Copies and moves keep the dragged order.
        CFolderSequence folders;
        AddFolder(folders, "A", 5);
        AddFolder(folders, "B", 1);
        QCOMPARE(CopyOrMoveRecords(folders, {2, 0, {0, 2, 4}}, 1, false).copied, 3);
        QCOMPARE(Sites(folders, 1), QStringLiteral("B0 A0 A2 A4"));
        QCOMPARE(CopyOrMoveRecords(folders, {1, 0, {0, 2, 4}}, 1, true).removed, 3);
        QCOMPARE(Sites(folders, 0), QStringLiteral("A1 A3"));

        // Onto the source, the top level or no folder; from no folder; records out of range,
        // none, or listed twice.
        for (const FolderIndex target : {0, -1, 2}) {
            QVERIFY(CopyOrMoveRecords(folders, {1, 0, {1}}, target, true).refused);
        }
        for (const RecordDragPayload& bad : std::vector<RecordDragPayload>{
                 {1, 5, {0}}, {1, 0, {2}}, {1, 0, {-1}}, {1, 0, {}}, {1, 0, {1, 0, 1}}}) {
            QVERIFY(CopyOrMoveRecords(folders, bad, 1, true).refused);
        }

        // A copy that fails stops the move there, and the source stays whole.
        const RecordCopier failsOn1 = [](CFolderSequence& f, FolderIndex s, int r, FolderIndex t) {
            return r != 1 && f.CopyRecord(s, r, t);
        };
        const RecordTransfer failed = CopyOrMoveRecords(folders, {1, 0, {0, 1}}, 1, true, failsOn1);
        QVERIFY(failed.outOfMemory && failed.copied == 1 && failed.removed == 0);
        QCOMPARE(Sites(folders, 0), QStringLiteral("A1 A3"));
        QVERIFY(Sites(folders, 1).endsWith(QStringLiteral("A4 A1")));
    }

    void viewDragsTheSelectionOntoOtherFoldersOfTheTree() {
        FakeHost host;
        AddFolder(host.folders, "Bank", 4);
        AddFolder(host.folders, "Cards", 0);
        AddFolder(host.folders, "Mail", 1);
        CFolderTree tree(host);
        tree.SetRecordDragFormat(kRun);
        QPoint menuAt;
        tree.SetRecordDragMenuRunner([&menuAt](const QPoint& globalPos) {
            menuAt = globalPos;
            return kCopyRecordsCommand;
        });
        tree.Rebuild();
        tree.SelectFolder(0);
        tree.show();
        const auto at = [&tree](FolderIndex folder) {
            return tree.visualItemRect(folder < 0 ? tree.RootItem() : tree.ItemOf(folder)).center();
        };
        const auto drop = [&tree](const QMimeData& data, QPoint pos) {
            QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(tree.viewport(), &enter);
            QDropEvent event(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::NoButton, {});
            QApplication::sendEvent(tree.viewport(), &event);
            return event.isAccepted();
        };

        CZelvantView view(host, std::make_unique<report::CFixedDateFormatter>());
        view.InitialUpdate(std::string());
        view.SetRecordDragFormat(kRun);
        view.ShowFolder(0);
        QPoint target;
        std::vector<RecordDragPayload> payloads;
        view.SetRecordDragStarter([&](std::unique_ptr<QMimeData> mime, Qt::DropActions actions) {
            payloads.push_back(ReadRecordDragData(*mime, kRun).value_or(RecordDragPayload{}));
            const bool both = actions == (Qt::CopyAction | Qt::MoveAction);
            return both && drop(*mime, target) ? Qt::MoveAction : Qt::IgnoreAction;
        });
        view.List().SelectItem(0);
        view.List().SelectItem(2);

        // Not onto the root, the source folder or empty space, nor another run's records.
        for (const QPoint pos : {at(-1), at(0), QPoint(20, tree.viewport()->height() - 5)}) {
            target = pos;
            QVERIFY(view.StartRecordDrag(1));
        }
        QVERIFY(!drop(*MakeRecordDragData(kRun + "1", {1, 0, {0}}), at(2)));
        target = at(2);
        QVERIFY(view.StartRecordDrag(1));
        QVERIFY(payloads == std::vector<RecordDragPayload>(4, {1, 0, {0, 2}}));
        QCOMPARE(Sites(host.folders, 2), QStringLiteral("Mail0 Bank0 Bank2"));
        QCOMPARE(Sites(host.folders, 0), QStringLiteral("Bank1 Bank3"));

        // The right button asks where the records were let go.
        view.List().SelectItem(0);
        target = at(1);
        QVERIFY(view.StartRecordDrag(2));
        QVERIFY(payloads.back() == RecordDragPayload({2, 0, {0}}));
        QCOMPARE(menuAt, tree.viewport()->mapToGlobal(at(1)));
        QCOMPARE(Sites(host.folders, 1), QStringLiteral("Bank1"));
        QCOMPARE(Sites(host.folders, 0), QStringLiteral("Bank1 Bank3"));
    }
};

QTEST_MAIN(RecordDragTest)
#include "record_drag_test.moc"
