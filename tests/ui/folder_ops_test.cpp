// The folder commands on the folder sequence alone: where new folders go, what deleting removes,
// the shape of copies and moves, and which drop targets are allowed.

#include <QTest>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "store/data_file.h"
#include "store/file_cipher.h"
#include "store/messages.h"
#include "store/value_stream.h"
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

// Records are named "<folder>.<n>" so that copies can be traced back.
void Fill(CFolderSequence& folders, const std::vector<FolderDef>& defs) {
    for (const FolderDef& def : defs) {
        CFolder* folder = folders.AppendFolder();
        QVERIFY(folder != nullptr);
        folder->SetName(def.name);
        folder->SetParent(def.parent);
        folder->SetExpanded(def.expanded);
        for (int r = 0; r < def.records; ++r) {
            CRecord* record = folder->AppendRecord();
            QVERIFY(record != nullptr);
            record->SetText(RecordField::SiteName, def.name + "." + std::to_string(r));
            record->SetText(RecordField::Password, "pw-" + def.name);
            record->SetInt(RecordField::Reserved, 7);
            record->SetInt(RecordField::HasExpiry, r % 2);
        }
    }
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string Name(const CFolderSequence& folders, FolderIndex i) {
    const CFolder* f = folders.FolderAt(i);
    return f != nullptr ? f->Name() : std::string("<top>");
}

FolderIndex Find(const CFolderSequence& folders, const std::string& name) {
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        if (folders.FolderAt(i)->Name() == name) {
            return i;
        }
    }
    return -99;
}

// A folder with its records and, in sequence order, its sub-folders, as one text.
std::string Shape(const CFolderSequence& folders, FolderIndex index) {
    const CFolder* folder = folders.FolderAt(index);
    std::string out = folder->Name() + "[";
    for (int r = 0; r < folder->RecordCount(); ++r) {
        out += folder->RecordAt(r)->GetText(RecordField::SiteName) + ",";
    }
    out += "]{";
    for (FolderIndex j = index + 1; j < folders.Count(); ++j) {
        if (ShownParent(folders, j) == index) {
            out += Shape(folders, j) + ";";
        }
    }
    return out + "}";
}

// The whole sequence, position by position.
std::string Dump(const CFolderSequence& folders) {
    std::string out;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const CFolder* f = folders.FolderAt(i);
        out += f->Name() + "(" + std::to_string(f->Parent()) + "," + std::to_string(f->Expanded()) +
               "," + std::to_string(f->RecordCount()) + ") ";
    }
    return out;
}

bool ParentsBeforeChildren(const CFolderSequence& folders) {
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const FolderIndex p = folders.FolderAt(i)->Parent();
        if (p != kTopLevel && (p < 0 || p >= i)) {
            return false;
        }
    }
    return true;
}

// Deleting exactly as the tree has always described it, step by step, to hold the real one to.
void ReferenceDelete(CFolderSequence& folders, FolderIndex i) {
    for (FolderIndex j = folders.Count() - 1; j > i; --j) {
        if (j < folders.Count() && folders.FolderAt(j)->Parent() == i) {
            ReferenceDelete(folders, j);
        }
    }
    folders.FolderAt(i)->RemoveAllRecords();
    folders.ShiftParentsDown(i);
    folders.RemoveFolder(i);
}

std::vector<FolderDef> RandomForest(std::mt19937& rng, int count) {
    std::vector<FolderDef> defs;
    for (int j = 0; j < count; ++j) {
        std::uniform_int_distribution<int> parent(-1, j - 1);
        std::uniform_int_distribution<int> records(0, 2);
        defs.push_back({"F" + std::to_string(j), parent(rng), j % 2, records(rng)});
    }
    return defs;
}

int SubtreeSize(const CFolderSequence& folders, FolderIndex root) {
    int n = 0;
    for (FolderIndex j = 0; j < folders.Count(); ++j) {
        n += InSubtree(folders, root, j) ? 1 : 0;
    }
    return n;
}

// Bank ─┬─ Cards ── Visa
//       └─ Loans
// Mail ── Work
std::vector<FolderDef> SmallTree() {
    return {{"Bank", -1, 1, 1}, {"Cards", 0, 0, 2}, {"Visa", 1, 0, 1},
            {"Loans", 0, 0, 0}, {"Mail", -1, 0, 1}, {"Work", 4, 0, 3}};
}

// Src with three sub-folders, each with their own sub-folders, and records at every level.
std::vector<FolderDef> ThreeLevelTree() {
    return {
        {"Other", -1, 0, 1},  // 0
        {"Src", -1, 1, 2},    // 1
        {"A", 1, 0, 1},       // 2
        {"A1", 2, 0, 2},      // 3
        {"B", 1, 0, 0},       // 4
        {"A2", 2, 0, 1},      // 5: a sibling behind a gap
        {"B1", 4, 0, 1},      // 6
        {"C", 1, 1, 3},       // 7
        {"C1", 7, 0, 0},      // 8
        {"C1a", 8, 0, 2},     // 9: a third level
        {"Tail", -1, 0, 0},   // 10
    };
}

}  // namespace

class FolderOpsTest : public QObject {
    Q_OBJECT

  private slots:
    // ---- new folder ----

    void newFolderWithNothingSelectedIsFirstAtTopLevel() {
        CFolderSequence folders;
        Fill(folders, SmallTree());
        const FolderIndex added = NewFolder(folders, kTopLevel, "New");
        QCOMPARE(added, 0);
        QCOMPARE(Q(Name(folders, 0)), QStringLiteral("New"));
        QCOMPARE(folders.FolderAt(0)->Parent(), kTopLevel);
        QCOMPARE(folders.FolderAt(0)->Expanded(), 0);
        // Every parent moved up by one and still names the same folder.
        QCOMPARE(Q(Name(folders, folders.FolderAt(Find(folders, "Visa"))->Parent())),
                 QStringLiteral("Cards"));
        QCOMPARE(Q(Name(folders, folders.FolderAt(Find(folders, "Work"))->Parent())),
                 QStringLiteral("Mail"));
        QVERIFY(ParentsBeforeChildren(folders));

        CFolderSequence empty;
        QCOMPARE(NewFolder(empty, kTopLevel, ""), 0);
        QCOMPARE(empty.Count(), 1);
        // An index without a folder behind it counts as nothing selected.
        QCOMPARE(NewFolder(empty, 5, "x"), 0);
        QCOMPARE(Q(Name(empty, 0)), QStringLiteral("x"));
    }

    void newFolderGoesBehindItsParentAndOpensIt() {
        CFolderSequence folders;
        Fill(folders, SmallTree());
        const std::string before = Dump(folders);
        QCOMPARE(NewFolder(folders, 1, ""), 2);  // under Cards, which is collapsed
        QCOMPARE(folders.Count(), 7);
        QCOMPARE(folders.FolderAt(2)->Parent(), 1);
        QCOMPARE(Q(folders.FolderAt(2)->Name()), QString());  // empty names are allowed
        QCOMPARE(folders.FolderAt(1)->Expanded(), 1);
        // Visa (now 3) still hangs under Cards; Work under Mail (now 5); Loans under Bank.
        QCOMPARE(folders.FolderAt(3)->Parent(), 1);
        QCOMPARE(folders.FolderAt(4)->Parent(), 0);
        QCOMPARE(folders.FolderAt(6)->Parent(), 5);
        QVERIFY(ParentsBeforeChildren(folders));
        QVERIFY(Q(Dump(folders)) != Q(before));
    }

    // ---- contents and deleting ----

    void countsReachEveryLevel() {
        CFolderSequence folders;
        Fill(folders, ThreeLevelTree());
        const FolderContents src = CountContents(folders, 1);
        QCOMPARE(src.folders, 8);
        QCOMPARE(src.records, 2 + 1 + 2 + 0 + 1 + 1 + 3 + 0 + 2);
        const FolderContents leaf = CountContents(folders, 9);
        QCOMPARE(leaf.folders, 0);
        QCOMPARE(leaf.records, 2);
        const FolderContents none = CountContents(folders, 42);
        QCOMPARE(none.folders, 0);
        QCOMPARE(none.records, 0);
    }

    void deleteRemovesTheSubtreeAndRenumbersParents() {
        CFolderSequence folders;
        Fill(folders, SmallTree());
        QVERIFY(DeleteFolder(folders, 1));  // Cards with Visa
        QCOMPARE(Q(Dump(folders)), QStringLiteral("Bank(-1,1,1) Loans(0,0,0) Mail(-1,0,1) "
                                                  "Work(2,0,3) "));
        QVERIFY(!DeleteFolder(folders, 9));
        QVERIFY(!DeleteFolder(folders, -1));
    }

    void deleteMatchesTheStepByStepDefinition() {
        std::mt19937 rng(20240611);
        for (int round = 0; round < 300; ++round) {
            const auto defs = RandomForest(rng, 1 + round % 25);
            CFolderSequence real;
            CFolderSequence reference;
            Fill(real, defs);
            Fill(reference, defs);
            const FolderIndex victim = std::uniform_int_distribution<int>(0, real.Count() - 1)(rng);
            QVERIFY(DeleteFolder(real, victim));
            ReferenceDelete(reference, victim);
            QCOMPARE(Q(Dump(real)), Q(Dump(reference)));
        }
    }

    void selectionAfterDelete() {
        CFolderSequence folders;
        Fill(folders, {{"a"}, {"b"}, {"c"}});
        // Deleting the last folder selects the one that is now last.
        QVERIFY(DeleteFolder(folders, 2));
        QCOMPARE(SelectionAfterDelete(folders, 2), 1);
        // A middle one selects whatever moved into its place.
        Fill(folders, {{"d"}});
        QVERIFY(DeleteFolder(folders, 1));
        QCOMPARE(SelectionAfterDelete(folders, 1), 1);
        // The first one with folders left selects the new first.
        QVERIFY(DeleteFolder(folders, 0));
        QCOMPARE(SelectionAfterDelete(folders, 0), 0);
        // The only folder leaves nothing to select.
        QVERIFY(DeleteFolder(folders, 0));
        QCOMPARE(folders.Count(), 0);
        QCOMPARE(SelectionAfterDelete(folders, 0), kTopLevel);
    }

    // ---- copying and moving ----

    void copyKeepsTheShapeRecordsAndSource() {
        CFolderSequence folders;
        Fill(folders, ThreeLevelTree());
        const std::string before = Dump(folders);
        const std::string shape = Shape(folders, 1);
        CopyDetails details;
        QCOMPARE(CopyFolder(folders, 1, 10, false, &details), CopyOutcome::Done);
        QCOMPARE(details.copy, 11);
        QCOMPARE(folders.Count(), 11 + 9);
        // The old folders are untouched; the copy is appended depth first, children in sequence
        // order, each under the copy of its own parent.
        QCOMPARE(Q(Dump(folders).substr(0, before.size())), Q(before));
        QCOMPARE(Q(Shape(folders, 11)), Q(shape));
        QCOMPARE(folders.FolderAt(11)->Parent(), 10);
        const char* order[] = {"Src", "A", "A1", "A2", "B", "B1", "C", "C1", "C1a"};
        for (int k = 0; k < 9; ++k) {
            QCOMPARE(Q(Name(folders, 11 + k)), QString::fromLatin1(order[k]));
            QCOMPARE(folders.FolderAt(11 + k)->Expanded(), 0);  // copies start collapsed
        }
        QVERIFY(ParentsBeforeChildren(folders));

        // Records are copied as the record copy defines: contents and Created kept,
        // Reserved cleared.
        const CRecord* original = folders.FolderAt(3)->RecordAt(1);
        const CRecord* copy = folders.FolderAt(13)->RecordAt(1);
        QCOMPARE(Q(copy->GetText(RecordField::SiteName)), QStringLiteral("A1.1"));
        QCOMPARE(Q(copy->GetText(RecordField::Password)), QStringLiteral("pw-A1"));
        QCOMPARE(copy->GetInt(RecordField::HasExpiry), 1);
        QCOMPARE(copy->GetDate(RecordField::Created).oa,
                 original->GetDate(RecordField::Created).oa);
        QCOMPARE(copy->GetInt(RecordField::Reserved), 0);
        QCOMPARE(original->GetInt(RecordField::Reserved), 7);
    }

    void moveLeavesExactlyOneSubtree() {
        CFolderSequence folders;
        Fill(folders, ThreeLevelTree());
        const std::string shape = Shape(folders, 1);
        CopyDetails details;
        QCOMPARE(CopyFolder(folders, 1, 0, true, &details), CopyOutcome::Done);
        QCOMPARE(folders.Count(), 11);
        for (const char* name : {"Src", "A", "A1", "A2", "B", "B1", "C", "C1", "C1a"}) {
            int seen = 0;
            for (FolderIndex i = 0; i < folders.Count(); ++i) {
                seen += folders.FolderAt(i)->Name() == name ? 1 : 0;
            }
            QCOMPARE(seen, 1);
        }
        QCOMPARE(Q(Name(folders, details.copy)), QStringLiteral("Src"));
        QCOMPARE(Q(Shape(folders, details.copy)), Q(shape));
        QCOMPARE(Q(Name(folders, folders.FolderAt(details.copy)->Parent())),
                 QStringLiteral("Other"));
        QCOMPARE(folders.FolderAt(Find(folders, "Tail"))->Parent(), kTopLevel);
        QVERIFY(ParentsBeforeChildren(folders));
    }

    void copyBelowItsOwnDescendantEndsWithOneCopy() {
        CFolderSequence folders;
        Fill(folders, ThreeLevelTree());
        const std::string shape = Shape(folders, 1);
        CopyDetails details;
        // Under C1a, three levels down inside the source itself.
        QCOMPARE(CopyFolder(folders, 1, 9, false, &details), CopyOutcome::Done);
        QCOMPARE(folders.Count(), 11 + 9);
        QCOMPARE(folders.FolderAt(details.copy)->Parent(), 9);
        QCOMPARE(Q(Shape(folders, details.copy)), Q(shape));
        QVERIFY(ParentsBeforeChildren(folders));
    }

    void moveIntoItsOwnSubtreeIsRefused() {
        CFolderSequence folders;
        Fill(folders, ThreeLevelTree());
        const std::string before = Dump(folders);
        QCOMPARE(CopyFolder(folders, 1, 9, true), CopyOutcome::Refused);
        QCOMPARE(CopyFolder(folders, 1, 1, true), CopyOutcome::Refused);
        QCOMPARE(CopyFolder(folders, 1, 2, true), CopyOutcome::Refused);
        QCOMPARE(CopyFolder(folders, 42, 0, false), CopyOutcome::Refused);
        QCOMPARE(CopyFolder(folders, 1, 42, false), CopyOutcome::Refused);
        QCOMPARE(Q(Dump(folders)), Q(before));
    }

    void randomCopiesAndMovesKeepTheTreeWhole() {
        std::mt19937 rng(77);
        for (int round = 0; round < 300; ++round) {
            CFolderSequence folders;
            Fill(folders, RandomForest(rng, 1 + round % 20));
            const int count = folders.Count();
            const FolderIndex source = std::uniform_int_distribution<int>(0, count - 1)(rng);
            const FolderIndex target = std::uniform_int_distribution<int>(-1, count - 1)(rng);
            const bool move = round % 2 == 1;
            const std::string shape = Shape(folders, source);
            const int size = SubtreeSize(folders, source);
            std::map<std::string, std::string> parentOf;
            for (FolderIndex i = 0; i < count; ++i) {
                parentOf[Name(folders, i)] = Name(folders, folders.FolderAt(i)->Parent());
            }
            const std::string targetName = Name(folders, target);
            const bool intoItself = InSubtree(folders, source, target);

            CopyDetails details;
            const CopyOutcome outcome = CopyFolder(folders, source, target, move, &details);
            QVERIFY(ParentsBeforeChildren(folders));
            if (move && intoItself) {
                QCOMPARE(outcome, CopyOutcome::Refused);
                QCOMPARE(folders.Count(), count);
                continue;
            }
            QCOMPARE(outcome, CopyOutcome::Done);
            QCOMPARE(Q(Shape(folders, details.copy)), Q(shape));
            QCOMPARE(Q(Name(folders, folders.FolderAt(details.copy)->Parent())), Q(targetName));
            if (!move) {
                QCOMPARE(folders.Count(), count + size);
                continue;
            }
            // Moved: the same folders, each still under the same parent except the moved one.
            QCOMPARE(folders.Count(), count);
            for (FolderIndex i = 0; i < count; ++i) {
                const std::string name = Name(folders, i);
                const std::string parent = Name(folders, folders.FolderAt(i)->Parent());
                QCOMPARE(Q(parent), Q(i == details.copy ? targetName : parentOf[name]));
            }
        }
    }

    // ---- drop targets ----

    void dropTargets() {
        CFolderSequence folders;
        Fill(folders, SmallTree());
        // Cards (1) is under Bank (0) and holds Visa (2).
        QVERIFY(!IsValidDropTarget(folders, 1, 0));  // its own parent
        QVERIFY(!IsValidDropTarget(folders, 1, 1));  // itself
        QVERIFY(!IsValidDropTarget(folders, 1, 2));  // its own child
        QVERIFY(IsValidDropTarget(folders, 1, kTopLevel));
        QVERIFY(IsValidDropTarget(folders, 1, 3));  // a sibling
        QVERIFY(IsValidDropTarget(folders, 1, 5));  // elsewhere
        // The root is the parent of a top-level folder.
        QVERIFY(!IsValidDropTarget(folders, 0, kTopLevel));
        QVERIFY(!IsValidDropTarget(folders, 0, 2));  // a grandchild
        QVERIFY(IsValidDropTarget(folders, 0, 4));
        QVERIFY(IsValidDropTarget(folders, 2, 0));  // a grandparent is fine
        // Nothing valid about folders that do not exist.
        QVERIFY(!IsValidDropTarget(folders, 9, 0));
        QVERIFY(!IsValidDropTarget(folders, 1, 9));
        QVERIFY(!IsValidDropTarget(folders, kTopLevel, 1));
    }

    void damagedParentsCountAsTopLevel() {
        CFolderSequence folders;
        Fill(folders, {{"a"}, {"b", 5}, {"c", 1}});
        QCOMPARE(ShownParent(folders, 1), kTopLevel);
        QVERIFY(!IsValidDropTarget(folders, 1, kTopLevel));
        QVERIFY(InSubtree(folders, 1, 2));
        QVERIFY(!InSubtree(folders, 0, 1));
    }

    // ---- the expanded flag ----

    void collapsedFolderStaysCollapsedThroughChangesAndTheFile() {
        CFolderSequence folders;
        Fill(folders, SmallTree());
        folders.FolderAt(4)->SetExpanded(0);  // Mail, which has a child
        NewFolder(folders, kTopLevel, "First");
        QVERIFY(DeleteFolder(folders, Find(folders, "Loans")));
        QCOMPARE(CopyFolder(folders, Find(folders, "Cards"), kTopLevel, true), CopyOutcome::Done);
        QCOMPARE(folders.FolderAt(Find(folders, "Mail"))->Expanded(), 0);
        QCOMPARE(folders.FolderAt(Find(folders, "Bank"))->Expanded(), 1);

        const FileKey key = MakeFileKey("pw");
        const std::vector<std::uint8_t> bytes = SaveDataToMemory(key, folders, "");
        CMemorySource source(bytes);
        CFolderSequence reopened;
        CMessageLog log;
        QVERIFY(LoadData(source, key, reopened, log).ok);
        QCOMPARE(Q(Dump(reopened)), Q(Dump(folders)));
        QCOMPARE(reopened.FolderAt(Find(reopened, "Mail"))->Expanded(), 0);
    }
};

QTEST_APPLESS_MAIN(FolderOpsTest)
#include "folder_ops_test.moc"
