// The report list: layout text, sorting, selection, mouse rules, the field chooser and the empty
// list, on the offscreen platform.

#include <QApplication>
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
const QStringList kTitles = QStringLiteral(
                                "Site Name/Description|Expired|Notes Available|Location|Email|"
                                "Account Name|Account Number|Username/ID|Password|Pin Number|"
                                "Created|Last Modified|Expires On|Notes")
                                .split('|');
const QString kSizes = "175 22 22 100 100 150 100 100 100 100 100 100 100 150";

std::string Layout(const QString& counts, const QString& shown) {
    return QStringLiteral("%1 %2 %3").arg(counts, kSizes, shown).toStdString();
}

void DefineRecordColumns(CReportCtrl& list) {
    const QStringList widths = kSizes.split(' ');
    for (int subitem = 0; subitem < kTitles.size(); ++subitem) {
        ColumnDefinition definition;
        definition.title = kTitles[subitem];
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

// The record columns, all shown, over rows with these texts and images (0 when not given).
struct Rows {
    Source source;
    CReportCtrl list;

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
    bool Show(int width) {
        list.resize(width, 300);
        list.show();
        return QTest::qWaitForWindowExposed(&list);
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
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

QPoint SectionCentre(const QHeaderView* header, int logical) {
    return {header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2,
            header->height() / 2};
}

QStringList ChooserTitles(const CReportOptionsCtrl& chooser) {
    QStringList titles;
    for (int i = 0; i < chooser.count(); ++i) {
        titles << chooser.item(i)->text();
    }
    return titles;
}

}  // namespace

class ReportCtrlTest : public QObject {
    Q_OBJECT

  private slots:
    void layoutTextRoundTrips();
    void foreignLayoutLeavesHeaderAlone_data();
    void foreignLayoutLeavesHeaderAlone();
    void headerEditsReachTheLayout();
    void definingRenumbersShownColumns();
    void compareCellsOrdersBytes();
    void sortingOrdersRowsAndKeepsFocus();
    void headerClicksToggleDirection();
    void largeListsSortWithoutTrouble();
    void selectionIsReportedByRowAndItem();
    void mousePressRules();
    void chooserFollowsColumns();
    void emptyListShowsItsText();
};

void ReportCtrlTest::layoutTextRoundTrips() {
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
    store.WriteString("Settings", "ReportCtrl", "");
    QVERIFY(!list.ReadColumnLayout(store, "Settings", "ReportCtrl"));
    list.WriteColumnLayout(store, "Settings", "ReportCtrl");

    CReportCtrl other;
    DefineRecordColumns(other);
    QVERIFY(other.ReadColumnLayout(store, "Settings", "ReportCtrl"));
    QCOMPARE(other.GetColumnLayout(), arranged);
    QCOMPARE(HeaderState(other), HeaderState(list));
}

void ReportCtrlTest::foreignLayoutLeavesHeaderAlone_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("13 columns") << "(13,13) 175 22 22 100 100 150 100 100 100 100 100 100 100 0 1 "
                                   "2 3 4 5 6 7 8 9 10 11 12";
    QTest::newRow("none shown") << "(14,0) " + kSizes;
    QTest::newRow("garbage") << "zelvant";
    QTest::newRow("no numbers") << "(,)";
    QTest::newRow("cut in sizes") << "(14,2) 175 22 22";
    QTest::newRow("cut in shown") << "(14,3) " + kSizes + " 4";
    QTest::newRow("subitem too big") << "(14,2) " + kSizes + " 0 14";
    QTest::newRow("negative subitem") << "(14,2) " + kSizes + " 0 -1";
    QTest::newRow("twice the same") << "(14,2) " + kSizes + " 3 3";
    QTest::newRow("overflowing size") << "(14,1) 99999999999 22 22 100 100 150 100 100 100 100 "
                                         "100 100 100 150 0";
    QTest::newRow("letter for a size") << "(14,1) 175 x 22 100 100 150 100 100 100 100 100 100 "
                                          "100 150 0";
}

void ReportCtrlTest::foreignLayoutLeavesHeaderAlone() {
    QFETCH(QString, text);
    CReportCtrl list;
    DefineRecordColumns(list);
    QVERIFY(list.SetColumnLayout(Layout("(14,4)", "5 0 13 2")));
    const std::string before = list.GetColumnLayout();
    const QString header = HeaderState(list);
    QSignalSpy changed(&list, &CReportCtrl::ColumnsChanged);

    QVERIFY(!list.SetColumnLayout(text.toStdString()));
    QCOMPARE(list.GetColumnLayout(), before);
    QCOMPARE(HeaderState(list), header);
    QCOMPARE(changed.count(), 0);
}

void ReportCtrlTest::headerEditsReachTheLayout() {
    CReportCtrl list;
    DefineRecordColumns(list);
    QVERIFY(list.SetColumnLayout(Layout("(14,3)", "0 3 4")));
    QHeaderView* header = list.header();
    header->moveSection(header->visualIndex(4), header->visualIndex(0));
    header->resizeSection(3, 60);
    QCOMPARE(list.GetColumnLayout(),
             std::string("(14,3) 175 22 22 60 100 150 100 100 100 100 100 100 100 150 4 0 3"));

    // A section dragged and released above the header goes back to the chooser.
    list.resize(600, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QWidget* port = header->viewport();
    const QPoint start = SectionCentre(header, 0);
    SendMouse(port, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    SendMouse(port, QEvent::MouseMove, start + QPoint(30, 0), Qt::NoButton, Qt::LeftButton);
    SendMouse(port, QEvent::MouseMove, start + QPoint(30, -60), Qt::NoButton, Qt::LeftButton);
    SendMouse(port, QEvent::MouseButtonRelease, start + QPoint(30, -60), Qt::LeftButton, {});
    QCOMPARE(list.Columns().Shown(), (std::vector<int>{4, 3}));
    QCOMPARE(HeaderState(list), QStringLiteral("4:100 3:60"));
}

void ReportCtrlTest::definingRenumbersShownColumns() {
    CReportCtrl list;
    for (const char* title : {"A", "B", "C"}) {
        ColumnDefinition definition;
        definition.title = QString::fromLatin1(title);
        list.DefineColumn(list.Columns().DefinedCount(), definition);
    }
    Source source;
    source.texts = {"y", "x"};
    list.SetSource(&source);
    list.SetItems(2);
    list.ActivateColumn(2, 0);
    list.ActivateColumn(0, 1);
    list.SortBy(0, false);

    ColumnDefinition inserted;
    inserted.title = QStringLiteral("New");
    list.DefineColumn(1, inserted);
    QCOMPARE(list.Columns().Shown(), (std::vector<int>{3, 0}));
    QCOMPARE(list.Columns().Definition(3).title, QStringLiteral("C"));
    QCOMPARE(list.Columns().Size(1), kDefaultColumnSize);
    QCOMPARE(HeaderState(list), QStringLiteral("3:200 0:200"));
    QCOMPARE(list.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("C"));
    QCOMPARE(list.GetColumnLayout(), std::string("(4,2) 200 200 200 200 3 0"));
    QCOMPARE(list.SortColumn(), 0);
}

void ReportCtrlTest::compareCellsOrdersBytes() {
    QVERIFY(CompareCells("B", -1, "a", -1) < 0);
    QVERIFY(CompareCells("a", -1, "b", -1) < 0);
    QVERIFY(CompareCells("z", -1, "\xC3\xA9", -1) < 0);  // bytes above 0x7F sort last
    QVERIFY(CompareCells("", 5, "a", 0) < 0);            // text wins over images
    QCOMPARE(CompareCells("", 2, "", 1), 1);
    QCOMPARE(CompareCells("", 1, "", 1), 0);
    const std::string longText(255, 'q');
    QCOMPARE(CompareCells(longText + "a", 0, longText + "b", 0), 0);
}

void ReportCtrlTest::sortingOrdersRowsAndKeepsFocus() {
    Rows rows({"b", "B", "a"}, {2, 0, 1});
    CReportCtrl& list = rows.list;
    list.SortBy(0, true);
    QCOMPARE(rows.Texts(), (QStringList{"B", "a", "b"}));
    list.SortBy(1, true);
    QCOMPARE(rows.Texts(), (QStringList{"B", "a", "b"}));
    list.SortBy(1, false);
    QCOMPARE(rows.Texts(), (QStringList{"b", "a", "B"}));

    // Hidden columns do not sort.
    list.DeactivateColumn(3);
    list.SortBy(3, true);
    QCOMPARE(list.SortColumn(), 1);

    QStringList texts;
    for (int item = 0; item < 2000; ++item) {
        texts << QStringLiteral("%1").arg(item, 4, 10, QLatin1Char('0'));
    }
    rows.Fill(texts);
    QVERIFY(rows.Show(400));
    list.SelectItem(1990);
    list.SelectItem(5);
    list.SortBy(0, false);
    QCOMPARE(list.currentIndex().row(), list.RowOf(5));
    QCOMPARE(list.RowOf(5), 1994);
    QVERIFY(list.viewport()->rect().intersects(list.visualRect(list.currentIndex())));
    QCOMPARE(list.SelectedItems(), (std::vector<int>{5, 1990}));
    QCOMPARE(list.GetFirstSelectedItem(), 9);
}

void ReportCtrlTest::headerClicksToggleDirection() {
    Rows rows({"m", "c", "x"}, {0, 1, 2});
    CReportCtrl& list = rows.list;
    QVERIFY(rows.Show(800));

    QHeaderView* header = list.header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, SectionCentre(header, 0));
    QCOMPARE(list.SortColumn(), 0);
    QVERIFY(list.SortAscending());
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(rows.Texts(), (QStringList{"c", "m", "x"}));

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, SectionCentre(header, 0));
    QVERIFY(!list.SortAscending());
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(rows.Texts(), (QStringList{"x", "m", "c"}));

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, SectionCentre(header, 1));
    QCOMPARE(list.SortColumn(), 1);
    QVERIFY(list.SortAscending());
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(rows.Texts(), (QStringList{"m", "c", "x"}));

    // The sort mark goes with its column, and with the rows.
    list.DeactivateColumn(1);
    QCOMPARE(list.SortColumn(), -1);
    list.SortBy(0, true);
    list.SetItems(3);
    QCOMPARE(list.SortColumn(), -1);
}

void ReportCtrlTest::largeListsSortWithoutTrouble() {
    constexpr int kRows = 100000;
    QStringList texts(kRows, QStringLiteral("same"));
    Rows rows(texts);
    CReportCtrl& list = rows.list;
    list.SortBy(0, true);
    std::vector<char> seen(kRows, 0);
    for (int row = 0; row < kRows; ++row) {
        seen[static_cast<std::size_t>(list.ItemAt(row))] = 1;
    }
    QVERIFY(std::count(seen.begin(), seen.end(), 1) == kRows);

    for (int item = 0; item < kRows; ++item) {
        texts[item] = QStringLiteral("%1").arg(item, 6, 10, QLatin1Char('0'));
    }
    rows.Fill(texts);
    list.SortBy(0, true);
    list.SortBy(0, false);
    for (int row = 0; row < kRows; ++row) {
        QCOMPARE(list.ItemAt(row), kRows - 1 - row);
        QCOMPARE(list.RowOf(kRows - 1 - row), row);
    }
}

void ReportCtrlTest::selectionIsReportedByRowAndItem() {
    Rows rows({"f", "e", "d", "c", "b", "a"});
    CReportCtrl& list = rows.list;
    QCOMPARE(list.GetFirstSelectedItem(), -2);
    list.SelectItem(2);
    list.SelectItem(5);
    list.SelectItem(3);
    list.SelectItem(3, false);
    QCOMPARE(list.GetNextSelectedItem(-2), 2);
    QCOMPARE(list.GetNextSelectedItem(-1), 2);
    QCOMPARE(list.GetNextSelectedItem(2), 5);
    QCOMPARE(list.GetNextSelectedItem(5), -2);
    QCOMPARE(list.SelectedItems(), (std::vector<int>{2, 5}));

    list.SortBy(0, true);  // rows now hold items 5 4 3 2 1 0
    QCOMPARE(list.GetFirstSelectedItem(), 0);
    QCOMPARE(list.GetNextSelectedItem(0), 3);
    QCOMPARE(list.SelectedItems(), (std::vector<int>{2, 5}));

    list.SetItems(6);
    QCOMPARE(list.GetFirstSelectedItem(), -2);
    QVERIFY(list.SelectedItems().empty());
}

void ReportCtrlTest::mousePressRules() {
    Rows rows({"a", "b", "c", "d"});
    CReportCtrl& list = rows.list;
    QVERIFY(rows.Show(600));
    QSignalSpy drags(&list, &CReportCtrl::BeginDrag);
    QSignalSpy released(&list, &CReportCtrl::RightButtonReleased);
    QWidget* port = list.viewport();
    const auto rowPoint = [&list](int row) {
        return list.visualRect(list.model()->index(row, 0)).center();
    };

    list.SelectItem(1);
    list.IgnoreNextClick();
    QTest::mousePress(port, Qt::LeftButton, {}, rowPoint(3));
    QTest::mouseRelease(port, Qt::LeftButton, {}, rowPoint(3));
    QCOMPARE(list.SelectedItems(), std::vector<int>{1});
    QCOMPARE(list.currentIndex().row(), 1);
    QCOMPARE(drags.count(), 0);

    QTest::mousePress(port, Qt::LeftButton, {}, rowPoint(3));
    QTest::mouseRelease(port, Qt::LeftButton, {}, rowPoint(3));
    QCOMPARE(list.SelectedItems(), std::vector<int>{3});
    QCOMPARE(drags.count(), 1);
    QCOMPARE(drags.last(), (QList<QVariant>{1, 1}));

    QTest::mouseClick(port, Qt::LeftButton, Qt::ControlModifier, rowPoint(0));
    QCOMPARE(list.SelectedItems(), (std::vector<int>{0, 3}));
    QCOMPARE(drags.last(), (QList<QVariant>{1, 2}));

    // Right press on a selected row keeps the selection; on another row it selects only that.
    SendMouse(port, QEvent::MouseButtonPress, rowPoint(3), Qt::RightButton, Qt::RightButton);
    QCOMPARE(list.SelectedItems(), (std::vector<int>{0, 3}));
    QCOMPARE(drags.last(), (QList<QVariant>{2, 2}));
    SendMouse(port, QEvent::MouseButtonRelease, rowPoint(3), Qt::RightButton, {});
    QCOMPARE(released.count(), 1);
    QCOMPARE(released.last().at(0).toInt(), 3);
    SendMouse(port, QEvent::MouseButtonPress, rowPoint(2), Qt::RightButton, Qt::RightButton);
    QCOMPARE(list.SelectedItems(), std::vector<int>{2});
    QCOMPARE(drags.last(), (QList<QVariant>{2, 1}));
    SendMouse(port, QEvent::MouseButtonRelease, QPoint(5, port->height() - 5), Qt::RightButton, {});
    QCOMPARE(released.last().at(0).toInt(), -1);

    QSignalSpy opened(&list, &CReportCtrl::ItemDoubleClicked);
    QTest::mouseDClick(port, Qt::LeftButton, {}, rowPoint(1));
    QCOMPARE(opened.last(), QList<QVariant>{1});
}

void ReportCtrlTest::chooserFollowsColumns() {
    CReportCtrl list;
    DefineRecordColumns(list);
    ColumnDefinition hidden;
    hidden.title = QStringLiteral("Internal");
    hidden.format |= kFormatNotOffered;
    list.DefineColumn(14, hidden);
    QVERIFY(list.SetColumnLayout(Layout("(15,3)", "50 2 0 3")));
    CReportOptionsCtrl chooser;
    list.AttachOptionsCtrl(&chooser);
    QCOMPARE(chooser.List(), &list);
    QCOMPARE(chooser.count(), 11);
    QCOMPARE(chooser.item(0)->text(), QStringLiteral("Expired"));
    QCOMPARE(chooser.item(0)->data(Qt::UserRole).toInt(), 1);
    QVERIFY(!ChooserTitles(chooser).contains(QStringLiteral("Internal")));

    QVERIFY(list.DeactivateColumn(0));
    QVERIFY(!list.DeactivateColumn(0));
    QCOMPARE(ChooserTitles(chooser).first(), QStringLiteral("Site Name/Description"));
    QCOMPARE(chooser.count(), 12);

    // An entry dropped between the two shown columns lands there and leaves the chooser.
    list.resize(800, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QHeaderView* header = list.header();
    const QPoint between(header->sectionViewportPosition(3) + 2, header->height() / 2);
    QMimeData mime;
    mime.setData(QString::fromLatin1(kColumnMimeType.data()), "4");
    QDragEnterEvent enter(between, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(header->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(between, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(header->viewport(), &drop);
    QCOMPARE(list.Columns().Shown(), (std::vector<int>{2, 4, 3}));
    QVERIFY(!ChooserTitles(chooser).contains(QStringLiteral("Email")));
    QCOMPARE(HeaderState(list), QStringLiteral("2:22 4:100 3:100"));

    // A header column dropped on the chooser is hidden again.
    chooser.show();
    QDragEnterEvent over(QPoint(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(chooser.viewport(), &over);
    QVERIFY(over.isAccepted());
    QDropEvent back(QPointF(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(chooser.viewport(), &back);
    QCOMPARE(list.Columns().Shown(), (std::vector<int>{2, 3}));
    QVERIFY(ChooserTitles(chooser).contains(QStringLiteral("Email")));

    list.AttachOptionsCtrl(nullptr);
    QCOMPARE(chooser.List(), nullptr);
    QCOMPARE(chooser.count(), 0);
}

void ReportCtrlTest::emptyListShowsItsText() {
    Rows rows({});
    CReportCtrl& list = rows.list;

    // Pixels of the top band that differ from the background, as [first x, last x], or empty.
    const auto inked = [&list] {
        const QImage image = list.viewport()->grab().toImage();
        const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
        const int band = 3 * list.fontMetrics().height();
        int first = image.width();
        int last = -1;
        for (int y = 0; y < band; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != background) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        }
        return std::make_pair(first, last);
    };

    QVERIFY(rows.Show(700));
    const auto wide = inked();
    QVERIFY(wide.second >= 0);
    const int centre = list.viewport()->width() / 2;
    QVERIFY(qAbs((wide.first + wide.second) / 2 - centre) < 10);

    // Too narrow: shortened, not spilling out of the viewport.
    list.resize(120, 300);
    QApplication::processEvents();
    const auto narrow = inked();
    QVERIFY(narrow.second >= 0);
    QVERIFY(narrow.first > 0);
    QVERIFY(narrow.second < list.viewport()->width() - 1);

    list.resize(700, 300);
    rows.Fill({""}, {-1});
    QApplication::processEvents();
    QCOMPARE(inked().second, -1);
}

QTEST_MAIN(ReportCtrlTest)
#include "report_ctrl_test.moc"
