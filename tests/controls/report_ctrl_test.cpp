// The report list on the offscreen platform: layout, sorting, selection, mouse and field chooser.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QBitmap>
#include <QHeaderView>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include "controls/report_ctrl.h"
#include "settings/settings_store.h"

using namespace zelvant::controls;

namespace {

// Column 1 shows the image; every other column shows the text.
class Source final : public IReportSource {
  public:
    QStringList texts;
    std::vector<int> images;

    QString CellText(int item, int subitem) const override {
        return subitem == 1 ? QString() : texts[item];
    }
    int CellImage(int item, int subitem) const override {
        return subitem == 1 ? images[static_cast<std::size_t>(item)] : -1;
    }
    bool ItemBold(int) const override { return false; }
};

// The record list's columns; 1 and 2 are icon columns.
const QString kTitles =
    "Site Name/Description|Expired|Notes Available|Location|Email|Account Name|Account Number|"
    "Username/ID|Password|Pin Number|Created|Last Modified|Expires On|Notes";
const QString kSizes = "175 22 22 100 100 150 100 100 100 100 100 100 100 150";

std::string Layout(const QString& counts, const QString& shown) {
    return QStringLiteral("%1 %2 %3").arg(counts, kSizes, shown).toStdString();
}

void DefineRecordColumns(CReportCtrl& list) {
    const QStringList titles = kTitles.split('|');
    const QStringList widths = kSizes.split(' ');
    for (int subitem = 0; subitem < titles.size(); ++subitem) {
        ColumnDefinition definition;
        definition.title = titles[subitem];
        definition.size = widths[subitem].toInt();
        definition.format = subitem == 1 || subitem == 2
                                ? kFormatImage | kFormatIconCells | kFormatHeaderTip
                                : kFormatString | kFormatHeaderTip;
        list.DefineColumn(subitem, definition);
    }
}

void ShowAll(CReportCtrl& list) {
    for (int subitem = 0; subitem < list.Columns().DefinedCount(); ++subitem) {
        list.ActivateColumn(subitem, subitem);
    }
}

bool Show(CReportCtrl& list, int width) {
    list.resize(width, 300);
    list.show();
    return QTest::qWaitForWindowExposed(&list);
}

// The record columns, all shown, over rows with these texts and images (0 when not given).
struct Rows {
    Source source;
    CReportCtrl list;
    // Checks every change the list makes to its model against Qt's rules for item models.
    QAbstractItemModelTester tester{list.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest};

    explicit Rows(QStringList texts, std::vector<int> images = {}) {
        DefineRecordColumns(list);
        ShowAll(list);
        Fill(std::move(texts), std::move(images));
        list.SetSource(&source);
    }
    void Fill(QStringList texts, std::vector<int> images = {}) {
        images.resize(static_cast<std::size_t>(texts.size()), 0);
        source.texts = std::move(texts);
        source.images = std::move(images);
        list.SetItems(static_cast<int>(source.texts.size()));
    }
    QStringList Texts() const {
        QStringList rows;
        for (int row = 0; row < list.GetItemCount(); ++row) {
            rows << source.texts[list.ItemAt(row)];
        }
        return rows;
    }
};

// What the header shows, left to right: "subitem:size" per visible section.
QString HeaderState(const CReportCtrl& list) {
    QStringList parts;
    const QHeaderView* header = list.header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical)) {
            parts << QStringLiteral("%1:%2").arg(logical).arg(header->sectionSize(logical));
        }
    }
    return parts.join(' ');
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, {});
    QApplication::sendEvent(widget, &event);
}

QPoint SectionCentre(const QHeaderView* header, int logical) {
    return {header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2,
            header->height() / 2};
}

bool DropColumn(QWidget* target, QPoint at, QMimeData& mime) {  // false when refused
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted();
}

bool Offers(const CReportOptionsCtrl& chooser, const char* title) {
    return !chooser.findItems(QString::fromLatin1(title), Qt::MatchExactly).isEmpty();
}

}  // namespace

class ReportCtrlTest : public QObject {
    Q_OBJECT

  private slots:
    void layoutTextRoundTripsAndRefusesForeignText() {
        CReportCtrl list;
        DefineRecordColumns(list);
        ShowAll(list);
        QCOMPARE(list.GetColumnLayout(), Layout("(14,14)", "0 1 2 3 4 5 6 7 8 9 10 11 12 13"));

        const std::string arranged =
            "(14,3) 175 22 22 100 100 150 100 100 100 100 100 100 100 90 1 13 0";
        QVERIFY(list.SetColumnLayout(arranged));
        QCOMPARE(list.GetColumnLayout(), arranged);
        QCOMPARE(HeaderState(list), QStringLiteral("1:22 13:90 0:175"));

        zelvant::settings::CMemorySettingsStore store;
        QVERIFY(!list.ReadColumnLayout(store, "Settings", "ReportCtrl"));
        list.WriteColumnLayout(store, "Settings", "ReportCtrl");
        CReportCtrl other;
        DefineRecordColumns(other);
        QVERIFY(other.ReadColumnLayout(store, "Settings", "ReportCtrl"));
        QCOMPARE(other.GetColumnLayout(), arranged);
        QCOMPARE(HeaderState(other), HeaderState(list));

        // Refused as a whole: nothing changes and nobody is told.
        const QString refused[] = {
            "",
            "(13,1) " + kSizes + " 0",  // another number of columns
            "(14,0) " + kSizes,
            "zelvant",
            "(14,3) 175 22 22",
            "(14,3) " + kSizes + " 4",
            "(14,2) " + kSizes + " 0 14",
            "(14,2) " + kSizes + " 3 3",
            "(14,1) 99999999999 22 22 100 100 150 100 100 100 100 100 100 100 150 0",
        };
        QSignalSpy changed(&list, &CReportCtrl::ColumnsChanged);
        for (const QString& text : refused) {
            QVERIFY2(!list.SetColumnLayout(text.toStdString()), qPrintable(text));
            QCOMPARE(list.GetColumnLayout(), arranged);
        }
        QCOMPARE(HeaderState(list), QStringLiteral("1:22 13:90 0:175"));
        QCOMPARE(changed.count(), 0);
    }

    void headerEditsReachTheLayout() {
        CReportCtrl list;
        DefineRecordColumns(list);
        QVERIFY(list.SetColumnLayout(Layout("(14,3)", "0 3 4")));
        QHeaderView* header = list.header();
        header->moveSection(header->visualIndex(4), header->visualIndex(0));
        header->resizeSection(3, 60);
        QCOMPARE(list.GetColumnLayout(),
                 std::string("(14,3) 175 22 22 60 100 150 100 100 100 100 100 100 100 150 4 0 3"));

        // A section dragged and released above the header goes back to the chooser.
        QVERIFY(Show(list, 600));
        QWidget* port = header->viewport();
        const QPoint start = SectionCentre(header, 0);
        SendMouse(port, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        SendMouse(port, QEvent::MouseMove, start + QPoint(30, 0), Qt::NoButton, Qt::LeftButton);
        SendMouse(port, QEvent::MouseMove, start + QPoint(30, -60), Qt::NoButton, Qt::LeftButton);
        SendMouse(port, QEvent::MouseButtonRelease, start + QPoint(30, -60), Qt::LeftButton, {});
        QCOMPARE(HeaderState(list), QStringLiteral("4:100 3:60"));
    }

    void definingRenumbersShownColumns() {
        CReportCtrl list;
        QAbstractItemModelTester tester(list.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const char* title : {"A", "B", "C"}) {
            ColumnDefinition definition;
            definition.title = QString::fromLatin1(title);
            list.DefineColumn(list.Columns().DefinedCount(), definition);
        }
        list.ActivateColumn(2, 0);
        list.ActivateColumn(0, 1);
        list.ActivateColumn(1, 2);  // at the place of the new one: moves up too
        ColumnDefinition inserted;
        inserted.title = QStringLiteral("New");
        list.DefineColumn(1, inserted);
        QCOMPARE(list.GetColumnLayout(), std::string("(4,3) 200 200 200 200 3 0 2"));
        QCOMPARE(HeaderState(list), QStringLiteral("3:200 0:200 2:200"));
        QCOMPARE(list.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("C"));
    }

    void sortingByBytesAndHeaderClicks() {
        QVERIFY(CompareCells("z", -1, "\xC3\xA9", -1) < 0);  // bytes above 0x7F sort last
        QVERIFY(CompareCells("", 5, "a", 0) < 0);            // text wins over images
        const std::string longText(255, 'q');
        QCOMPARE(CompareCells(longText + "a", 0, longText + "b", 0), 0);

        Rows rows({"b", "B", "a"}, {2, 0, 1});
        CReportCtrl& list = rows.list;
        QVERIFY(Show(rows.list, 800));
        QHeaderView* header = list.header();
        const auto click = [&](int col) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, SectionCentre(header, col));
            return QStringLiteral("%1%2 %3")
                .arg(list.SortColumn())
                .arg(list.SortAscending() ? '+' : '-')
                .arg(rows.Texts().join(' '));
        };
        QCOMPARE(click(0), QStringLiteral("0+ B a b"));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(click(0), QStringLiteral("0- b a B"));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(click(1), QStringLiteral("1+ B a b"));  // the image column
        QCOMPARE(header->sortIndicatorSection(), 1);
        list.DeactivateColumn(3);
        list.SortBy(3, true);  // hidden columns do not sort
        QCOMPARE(list.SortColumn(), 1);

        // The sort mark goes with its column, and with the rows.
        list.DeactivateColumn(1);
        QCOMPARE(list.SortColumn(), -1);
        list.SortBy(0, true);
        list.SetItems(3);
        QCOMPARE(list.SortColumn(), -1);
    }

    // Equal keys and long runs must not exhaust the stack or lose rows.
    void largeListsSortWithoutTrouble() {
        constexpr int kRows = 100000;
        QStringList texts(kRows, QStringLiteral("same"));
        Rows rows(texts);
        CReportCtrl& list = rows.list;
        list.SortBy(0, true);
        for (int row = 0; row < kRows; ++row) {
            QVERIFY(list.RowOf(list.ItemAt(row)) == row);  // every item exactly once
        }

        for (int item = 0; item < kRows; ++item) {
            texts[item] = QStringLiteral("%1").arg(item, 6, 10, QLatin1Char('0'));
        }
        rows.Fill(texts);
        list.SortBy(0, true);
        list.SortBy(0, false);
        for (int row = 0; row < kRows; ++row) {
            QVERIFY(list.ItemAt(row) == kRows - 1 - row && list.RowOf(kRows - 1 - row) == row);
        }
    }

    // Selection is asked for by row and answered by item; sorting keeps it and the focus.
    void selectionSurvivesSorting() {
        QStringList texts;
        for (int item = 0; item < 2000; ++item) {
            texts << QStringLiteral("%1").arg(item, 4, 10, QLatin1Char('0'));
        }
        Rows rows(texts);
        CReportCtrl& list = rows.list;
        QVERIFY(Show(rows.list, 400));
        QCOMPARE(list.GetFirstSelectedItem(), -2);
        for (int row : {1990, 2, 7}) {
            list.SelectItem(row);
        }
        list.SelectItem(7, false);
        list.SelectItem(5);
        QVERIFY(list.GetNextSelectedItem(-1) == 2 && list.GetNextSelectedItem(2) == 5 &&
                list.GetNextSelectedItem(5) == 1990 && list.GetNextSelectedItem(1990) == -2);

        list.SortBy(0, false);
        QCOMPARE(list.currentIndex().row(), 1994);  // item 5, still current and on screen
        QVERIFY(list.viewport()->rect().intersects(list.visualRect(list.currentIndex())));
        QVERIFY(list.GetFirstSelectedItem() == 9 && list.GetNextSelectedItem(9) == 1994);
        QCOMPARE(list.SelectedItems(), (std::vector<int>{2, 5, 1990}));

        list.SetItems(2000);
        QVERIFY(list.GetFirstSelectedItem() == -2 && list.SelectedItems().empty());
    }

    void mousePressRules() {
        Rows rows({"a", "b", "c", "d"});
        CReportCtrl& list = rows.list;
        QVERIFY(Show(rows.list, 600));
        QSignalSpy drags(&list, &CReportCtrl::BeginDrag);
        QSignalSpy released(&list, &CReportCtrl::RightButtonReleased);
        QWidget* port = list.viewport();
        const auto at = [&list](int row) {
            return list.visualRect(list.model()->index(row, 0)).center();
        };

        list.SelectItem(1);
        list.IgnoreNextClick();
        QTest::mouseClick(port, Qt::LeftButton, {}, at(3));
        QVERIFY(list.SelectedItems() == std::vector<int>{1} && list.currentIndex().row() == 1 &&
                drags.isEmpty());
        QTest::mouseClick(port, Qt::LeftButton, {}, at(3));
        QCOMPARE(list.SelectedItems(), std::vector<int>{3});
        QCOMPARE(drags.last(), (QList<QVariant>{1, 1}));
        QTest::mouseClick(port, Qt::LeftButton, Qt::ControlModifier, at(0));
        QCOMPARE(list.SelectedItems(), (std::vector<int>{0, 3}));

        // A right press on a selected row keeps the selection; on another it selects only that.
        SendMouse(port, QEvent::MouseButtonPress, at(3), Qt::RightButton, Qt::RightButton);
        QCOMPARE(drags.last(), (QList<QVariant>{2, 2}));
        SendMouse(port, QEvent::MouseButtonRelease, at(3), Qt::RightButton, {});
        QCOMPARE(released.last().at(0).toInt(), 3);
        SendMouse(port, QEvent::MouseButtonPress, at(2), Qt::RightButton, Qt::RightButton);
        QCOMPARE(list.SelectedItems(), std::vector<int>{2});
        SendMouse(port, QEvent::MouseButtonRelease, {5, port->height() - 5}, Qt::RightButton, {});
        QCOMPARE(released.last().at(0).toInt(), -1);

        QSignalSpy opened(&list, &CReportCtrl::ItemDoubleClicked);
        QTest::mouseDClick(port, Qt::LeftButton, {}, at(1));
        QCOMPARE(opened.last(), QList<QVariant>{1});
    }

    void chooserFollowsColumns() {
        CReportCtrl list;
        DefineRecordColumns(list);
        ColumnDefinition hidden;
        hidden.title = QStringLiteral("Internal");
        hidden.format |= kFormatNotOffered;
        list.DefineColumn(14, hidden);
        QVERIFY(list.SetColumnLayout(Layout("(15,3)", "50 2 0 3")));
        CReportOptionsCtrl chooser;
        list.AttachOptionsCtrl(&chooser);
        QCOMPARE(chooser.count(), 11);
        QVERIFY(!Offers(chooser, "Internal"));
        QVERIFY(list.DeactivateColumn(0));
        QCOMPARE(chooser.item(0)->text(), QStringLiteral("Site Name/Description"));

        // An entry dropped between the two shown columns lands there and leaves the chooser.
        QVERIFY(Show(list, 800));
        QHeaderView* header = list.header();
        const QPoint between(header->sectionViewportPosition(3) + 2, header->height() / 2);
        QMimeData mime;
        mime.setData(QString::fromLatin1(kColumnMimeType.data()), "4");
        QVERIFY(DropColumn(header->viewport(), between, mime));
        QCOMPARE(HeaderState(list), QStringLiteral("2:22 4:100 3:100"));
        QVERIFY(!Offers(chooser, "Email"));

        // A header column dropped on the chooser is hidden again.
        chooser.show();
        QVERIFY(DropColumn(chooser.viewport(), {5, 5}, mime));
        QCOMPARE(list.Columns().Shown(), (std::vector<int>{2, 3}));
        QVERIFY(Offers(chooser, "Email"));
        list.AttachOptionsCtrl(nullptr);
        QCOMPARE(chooser.count(), 0);
    }

    // The empty list says so, centred, and shortened rather than spilling out when narrow.
    void emptyListShowsItsText() {
        Rows rows({});
        CReportCtrl& list = rows.list;
        const auto inked = [&list] {  // what is drawn in the top band
            const QImage image = list.viewport()->grab().toImage();
            const QImage band = image.copy(0, 0, image.width(), 3 * list.fontMetrics().height());
            const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
            const QImage ink = band.createMaskFromColor(background, Qt::MaskInColor);
            return QRegion(QBitmap::fromImage(ink)).boundingRect();
        };
        QVERIFY(Show(rows.list, 700));
        const QRect wide = inked();
        QVERIFY(!wide.isEmpty() && qAbs(wide.center().x() - list.viewport()->width() / 2) < 10);
        list.resize(120, 300);
        QApplication::processEvents();
        const QRect narrow = inked();
        QVERIFY(!narrow.isEmpty() && narrow.left() > 0 &&
                narrow.right() < list.viewport()->width() - 1);
        rows.Fill({""}, {-1});
        QApplication::processEvents();
        QVERIFY(inked().isEmpty());
    }
};

QTEST_MAIN(ReportCtrlTest)
#include "report_ctrl_test.moc"
