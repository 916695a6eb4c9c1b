// What the record list's cells show for a folder's records.

#include <QTest>

#include "store/date_time.h"
#include "ui/record_list.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

DateTimeValue At(int y, int mo, int d, int h, int mi, int s = 0) {
    return *FromCivil({y, mo, d, h, mi, s});
}

int ColumnOf(RecordField field) {
    for (const RecordColumn& c : RecordColumns()) {
        if (c.field == field) {
            return c.subitem;
        }
    }
    return -1;
}

}  // namespace

class RecordListTest : public QObject {
    Q_OBJECT

  private slots:
    void masksKeepLengthAndLeaveEmptyCellsEmpty() {
        QCOMPARE(MaskText("S3cure!1", true), QStringLiteral("********"));
        QCOMPARE(MaskText("", true), QString());
        QCOMPARE(MaskText("", false), QString());
        // One star per character, not per byte.
        QCOMPARE(MaskText("p\xC3\xA4ss", true), QStringLiteral("****"));
        // Text from older files is Windows-1252.
        QCOMPARE(MaskText("caf\xE9", false), QStringLiteral("caf\u00E9"));
    }

    void columnsMatchTheirFieldsAndTheDefaultOrderShowsEachOnce() {
        QCOMPARE(int(RecordColumns().size()), 14);
        for (int i = 0; i < 14; ++i) {
            QCOMPARE(RecordColumns()[i].subitem, i);
        }
        QCOMPARE(RecordColumns()[8].caption, std::string_view("Password"));
        QCOMPARE(RecordColumns()[12].caption, std::string_view("Expires On"));
        std::array<int, 14> seen{};
        for (int subitem : DefaultColumnOrder()) {
            ++seen[static_cast<std::size_t>(subitem)];
        }
        for (int n : seen) {
            QCOMPARE(n, 1);
        }
        QCOMPARE(DefaultColumnOrder()[0], kExpiredColumn);
        QCOMPARE(DefaultColumnOrder()[2], 0);
    }

    void cellsOfAFolder() {
        report::CFixedDateFormatter dates;
        CFolderSequence folders;
        CFolder* folder = folders.AppendFolder();
        const DateTimeValue now = At(2024, 3, 5, 14, 5);

        CRecord* plain = folder->AppendRecord(At(2024, 3, 5, 14, 5, 9));
        plain->SetText(RecordField::SiteName, "Bank");
        plain->SetText(RecordField::Password, "hunter22");
        plain->SetText(RecordField::Notes, "PIN letter in the drawer");

        CRecord* expired = folder->AppendRecord(At(2024, 3, 5, 14, 5, 9));
        expired->SetInt(RecordField::HasExpiry, 1);
        expired->SetDate(RecordField::ExpiresOn, At(2024, 3, 5, 14, 4));

        CRecord* notYet = folder->AppendRecord(At(2024, 3, 5, 14, 5, 9));
        notYet->SetInt(RecordField::HasExpiry, 1);
        notYet->SetDate(RecordField::ExpiresOn, At(2024, 3, 5, 14, 6));

        CRecord* flagOff = folder->AppendRecord(At(2024, 3, 5, 14, 5, 9));
        flagOff->SetDate(RecordField::ExpiresOn, At(2000, 1, 1, 0, 0));

        CRecordListSource source(dates);
        settings::FieldFlags masks;
        masks.password = 1;
        source.SetDisplay(masks, false);
        source.Show(&folders, 0, now);
        QCOMPARE(source.Count(), 4);

        QCOMPARE(source.CellText(0, 0), QStringLiteral("Bank"));
        QCOMPARE(source.CellText(0, ColumnOf(RecordField::Password)), QStringLiteral("********"));
        QCOMPARE(source.CellText(1, ColumnOf(RecordField::Password)), QString());
        QCOMPARE(source.CellText(0, ColumnOf(RecordField::Created)),
                 QStringLiteral("Tuesday, 5 March 2024, 14:05:09"));

        // Expired: the flag set and the moment passed when the list was filled.
        QCOMPARE(source.CellImage(1, kExpiredColumn), int(kImageExpired));
        QCOMPARE(source.CellText(1, kExpiredColumn), QStringLiteral("Record expired"));
        QCOMPARE(source.CellText(1, ColumnOf(RecordField::ExpiresOn)),
                 QStringLiteral("Tuesday, 5 March 2024"));
        QCOMPARE(source.CellImage(2, kExpiredColumn), int(kImageBlank));
        QCOMPARE(source.CellText(2, kExpiredColumn), QString());
        QCOMPARE(source.CellImage(3, kExpiredColumn), int(kImageBlank));
        QCOMPARE(source.CellText(3, ColumnOf(RecordField::ExpiresOn)), QString());

        QCOMPARE(source.CellImage(0, kNotesColumn), int(kImageNotes));
        QCOMPARE(source.CellText(0, kNotesColumn), QStringLiteral("Notes available"));
        QCOMPARE(source.CellImage(1, kNotesColumn), int(kImageBlank));

        // A masked date keeps the length of its text.
        masks.created = 1;
        source.SetDisplay(masks, true);
        QCOMPARE(source.CellText(0, ColumnOf(RecordField::Created)),
                 QString(QStringLiteral("Tuesday, 5 March 2024, 14:05:09").size(), u'*'));
        QVERIFY(source.ItemBold(0));

        // Rows past the end and a missing folder show nothing.
        QCOMPARE(source.CellText(9, 0), QString());
        source.Show(&folders, 5, now);
        QCOMPARE(source.Count(), 0);
        QCOMPARE(source.Folder(), kTopLevel);
    }
};

QTEST_MAIN(RecordListTest)
#include "record_list_test.moc"
