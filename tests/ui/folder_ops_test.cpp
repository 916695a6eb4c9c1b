// The folder commands on the folder sequence alone, without a window.

#include <QTest>
#include <random>
#include <string>
#include <vector>

#include "ui/folder_ops.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

struct FolderDef {
    std::string name;
    FolderIndex parent = kTopLevel;
    int expanded = 0;
    int records = 0;
};

// Replaces the contents. Records are named "<folder>.<n>" so that copies can be traced back.
void Fill(CFolderSequence& folders, const std::vector<FolderDef>& defs) {
    folders.Clear();
    for (const FolderDef& def : defs) {
        CFolder* folder = folders.AppendFolder();
        folder->SetName(def.name);
        folder->SetParent(def.parent);
        folder->SetExpanded(def.expanded);
        for (int r = 0; r < def.records; ++r) {
            CRecord* record = folder->AppendRecord();
            record->SetText(RecordField::SiteName, def.name + "." + std::to_string(r));
            record->SetInt(RecordField::Reserved, 7);
        }
    }
}

QString Name(const CFolderSequence& folders, FolderIndex i) {
    const CFolder* f = folders.FolderAt(i);
    return f != nullptr ? QString::fromStdString(f->Name()) : QStringLiteral("<top>");
}

QString ParentName(const CFolderSequence& folders, FolderIndex i) {
    return Name(folders, folders.FolderAt(i)->Parent());
}

// A folder with its records and, in sequence order, its sub-folders, as one text.
QString Shape(const CFolderSequence& folders, FolderIndex index) {
    const CFolder* folder = folders.FolderAt(index);
    QString out = Name(folders, index) + "[";
    for (int r = 0; r < folder->RecordCount(); ++r) {
        out += QString::fromStdString(
                   std::string(folder->RecordAt(r)->GetText(RecordField::SiteName))) +
               ",";
    }
    out += "]{";
    for (FolderIndex j = index + 1; j < folders.Count(); ++j) {
        out += ShownParent(folders, j) == index ? Shape(folders, j) + ";" : QString();
    }
    return out + "}";
}

// name(parent,expanded,records) per position, with "!" where a parent stands behind its child.
QString Dump(const CFolderSequence& folders) {
    QString out;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const CFolder* f = folders.FolderAt(i);
        const bool misplaced = f->Parent() < kTopLevel || f->Parent() >= i;
        out += QString::asprintf("%s(%d,%d,%d)%s ", qPrintable(Name(folders, i)), f->Parent(),
                                 f->Expanded(), f->RecordCount(), misplaced ? "!" : "");
    }
    return out;
}

// Bank{Cards{Visa}, Loans}, Mail{Work}
const std::vector<FolderDef> kSmallTree = {{"Bank", -1, 1, 1}, {"Cards", 0, 0, 2},
                                           {"Visa", 1, 0, 1},  {"Loans", 0, 0, 0},
                                           {"Mail", -1, 0, 1}, {"Work", 4, 0, 3}};

// Src (1) with three levels below it, records at every level, and a sibling behind a gap (A2).
const std::vector<FolderDef> kThreeLevels = {
    {"Other", -1, 0, 1}, {"Src", -1, 1, 2}, {"A", 1, 0, 1},    {"A1", 2, 0, 2},
    {"B", 1, 0, 0},      {"A2", 2, 0, 1},   {"B1", 4, 0, 1},   {"C", 1, 1, 3},
    {"C1", 7, 0, 0},     {"C1a", 8, 0, 2},  {"Tail", -1, 0, 0}};

}  // namespace

class FolderOpsTest : public QObject {
    Q_OBJECT

  private slots:
    void newFolderPlacementShiftsParents() {
        CFolderSequence folders;
        Fill(folders, kSmallTree);
        QCOMPARE(NewFolder(folders, 1, ""), 2);  // behind Cards, which it opens
        QCOMPARE(Dump(folders), QStringLiteral("Bank(-1,1,1) Cards(0,1,2) (1,0,0) Visa(1,0,1) "
                                               "Loans(0,0,0) Mail(-1,0,1) Work(5,0,3) "));
        // Nothing selected, or an index without a folder: first at top level.
        QCOMPARE(NewFolder(folders, kTopLevel, "New"), 0);
        QCOMPARE(NewFolder(folders, 42, "Newer"), 0);
        QCOMPARE(Dump(folders),
                 QStringLiteral("Newer(-1,0,0) New(-1,0,0) Bank(-1,1,1) Cards(2,1,2) "
                                "(3,0,0) Visa(3,0,1) Loans(2,0,0) Mail(-1,0,1) "
                                "Work(7,0,3) "));
    }

    void countAndDelete() {
        CFolderSequence folders;
        Fill(folders, kThreeLevels);
        QVERIFY(CountContents(folders, 1).folders == 8 && CountContents(folders, 1).records == 12);
        QVERIFY(CountContents(folders, 9).folders == 0 && CountContents(folders, 9).records == 2);

        Fill(folders, kSmallTree);
        QVERIFY(DeleteFolder(folders, 1));  // Cards with Visa
        QCOMPARE(Dump(folders),
                 QStringLiteral("Bank(-1,1,1) Loans(0,0,0) Mail(-1,0,1) Work(2,0,3) "));
        QVERIFY(!DeleteFolder(folders, 9) && !DeleteFolder(folders, -1));
        // The same position is selected next, the new last one past the end, nothing once empty.
        QVERIFY(SelectionAfterDelete(folders, 1) == 1 && SelectionAfterDelete(folders, 4) == 3);
        QCOMPARE(SelectionAfterDelete(CFolderSequence(), 0), kTopLevel);
    }

    void copyKeepsTheShapeRecordsAndSource() {
        CFolderSequence folders;
        Fill(folders, kThreeLevels);
        const QString before = Dump(folders);
        const QString shape = Shape(folders, 1);
        CopyDetails details;
        QCOMPARE(CopyFolder(folders, 1, 10, false, &details), CopyOutcome::Done);
        QCOMPARE(Dump(folders).left(before.size()), before);
        QCOMPARE(details.copy, 11);
        QCOMPARE(Shape(folders, 11), shape);
        // Depth first, children in sequence order, all collapsed.
        QCOMPARE(Dump(folders).mid(before.size()),
                 QStringLiteral("Src(10,0,2) A(11,0,1) A1(12,0,2) A2(12,0,1) B(11,0,0) "
                                "B1(15,0,1) C(11,0,3) C1(17,0,0) C1a(18,0,2) "));
        // Record copies clear Reserved.
        QCOMPARE(folders.FolderAt(13)->RecordAt(1)->GetInt(RecordField::Reserved), 0);

        // Below its own descendant: the new folders are not copied again.
        Fill(folders, kThreeLevels);
        QCOMPARE(CopyFolder(folders, 1, 9, false, &details), CopyOutcome::Done);
        QCOMPARE(folders.Count(), 11 + 9);
        QCOMPARE(ParentName(folders, details.copy), QStringLiteral("C1a"));
        QCOMPARE(Shape(folders, details.copy), shape);
    }

    void moveLeavesExactlyOneSubtree() {
        CFolderSequence folders;
        Fill(folders, kThreeLevels);
        const QString shape = Shape(folders, 1);
        const QString before = Dump(folders);
        // Into itself or its sub-tree, or with a folder missing.
        for (const auto& [from, to] : {std::pair{1, 1}, std::pair{1, 2}, std::pair{1, 9},
                                       std::pair{42, 0}, std::pair{1, 42}}) {
            QCOMPARE(CopyFolder(folders, from, to, true), CopyOutcome::Refused);
        }
        QCOMPARE(Dump(folders), before);

        CopyDetails details;
        QCOMPARE(CopyFolder(folders, 1, 0, true, &details), CopyOutcome::Done);
        QCOMPARE(folders.Count(), 11);
        QCOMPARE(Shape(folders, details.copy), shape);
        QCOMPARE(Dump(folders).left(33), QStringLiteral("Other(-1,0,1) Tail(-1,0,0) Src(0,"));
    }

    void randomCopiesAndMovesKeepTheTreeWhole() {
        std::mt19937 rng(77);
        const auto pick = [&rng](int lo, int hi) {
            return std::uniform_int_distribution<int>(lo, hi)(rng);
        };
        for (int round = 0; round < 300; ++round) {
            CFolderSequence folders;
            std::vector<FolderDef> defs;
            QStringList parentOf;  // by the number in the name
            for (int j = 0; j <= round % 20; ++j) {
                const int p = pick(-1, j - 1);
                defs.push_back({"F" + std::to_string(j), p, j % 2, pick(0, 2)});
                parentOf << (p < 0 ? QStringLiteral("<top>") : QStringLiteral("F%1").arg(p));
            }
            Fill(folders, defs);
            const int count = folders.Count();
            const FolderIndex source = pick(0, count - 1);
            const FolderIndex target = pick(-1, count - 1);
            const bool move = round % 2 == 1;
            const QString shape = Shape(folders, source);
            const int added = move ? 0 : CountContents(folders, source).folders + 1;
            const QString targetName = Name(folders, target);
            const bool refused = move && InSubtree(folders, source, target);

            CopyDetails details;
            QCOMPARE(CopyFolder(folders, source, target, move, &details),
                     refused ? CopyOutcome::Refused : CopyOutcome::Done);
            QVERIFY(!Dump(folders).contains('!'));
            QCOMPARE(folders.Count(), count + added);
            if (refused) {
                continue;
            }
            QCOMPARE(Shape(folders, details.copy), shape);
            // After a move every other folder keeps its parent, which checks the renumbering.
            for (FolderIndex i = move ? 0 : details.copy; i < folders.Count(); ++i) {
                QCOMPARE(ParentName(folders, i), i == details.copy
                                                     ? targetName
                                                     : parentOf[Name(folders, i).mid(1).toInt()]);
            }
        }
    }

    void dropTargets() {
        CFolderSequence folders;
        Fill(folders, kSmallTree);
        // Cards (1): not on its parent Bank (0), itself, or Visa (2) below it; a top-level
        // folder not on the root; nothing for missing folders.
        const std::pair<int, int> refused[] = {{1, 0},  {1, 1}, {1, 2}, {0, 2},
                                               {0, -1}, {9, 0}, {1, 9}};
        for (const auto& [dragged, target] : refused) {
            QVERIFY(!IsValidDropTarget(folders, dragged, target));
        }
        // The root, a sibling, a grandparent.
        QVERIFY(IsValidDropTarget(folders, 1, kTopLevel) && IsValidDropTarget(folders, 1, 3) &&
                IsValidDropTarget(folders, 2, 0));

        // A parent that does not stand before its child counts as top level.
        Fill(folders, {{"a"}, {"b", 5}, {"c", 1}});
        QCOMPARE(ShownParent(folders, 1), kTopLevel);
        QVERIFY(!IsValidDropTarget(folders, 1, kTopLevel));
        QVERIFY(InSubtree(folders, 1, 2) && !InSubtree(folders, 0, 1));
    }
};

QTEST_APPLESS_MAIN(FolderOpsTest)
#include "folder_ops_test.moc"
