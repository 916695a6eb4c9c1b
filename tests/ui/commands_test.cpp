// The main window's command table, the actions made from it, and the icons they show.

#include <QAction>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>
#include <set>
#include <string>

#include "ui/commands.h"
#include "ui/icons.h"

using namespace zelvant::ui;

namespace {

struct Row {
    int id;
    const char* menuText;
    const char* prompt;
    const char* toolTip;
    const char* key;
};

// The rows users know by their exact wording.
const Row kRows[] = {
    {57600, "&New", "Create a new document", "New", "Ctrl+N"},
    {57601, "&Open...", "Open an existing document", "Open", "Ctrl+O"},
    {57603, "&Save", "Save the active document", "Save", "Ctrl+S"},
    {57604, "Save &As...", "Save the active document with a new name", "Save As", ""},
    {32844, "Print/Print Preview", "Print/Preview the current document", "Print/Print Preview",
     "Ctrl+P"},
    {57665, "E&xit", "Quit the application; prompts to save documents", "Exit", "Alt+X"},
    {32818, "New &Folder", "Insert a new folder", "New Folder", "Ctrl+F"},
    {32819, "New &Record", "Insert a new record", "New Record", "Ctrl+R"},
    {32822, "&Delete", "Delete Folder or Record", "Delete", "Del"},
    {32823, "Properties", "Display record properties", "Properties", "Ctrl+Shift+P"},
    {32832, "Keep Zelvant on top", "Make Zelvant the topmost window", "Keep Zelvant on top", ""},
    {59143, "Customize Zelvant View", "Add and remove fields from Zelvant View",
     "Customize Zelvant View", ""},
    {32839, "Password Popup", "Show or hide the Password Popup Window", "Toggle Password Popup",
     ""},
    {32817, "Main Window", "Show or hide Main Window", "Toggle Man Window", ""},
    {59392, "Standard Toolbar", "Show or hide the toolbar", "Toggle ToolBar", ""},
    {59393, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar", ""},
    {32803, "&Folder Window", "Show or hide the Folder Window bar", "Toggle Folder Window", ""},
    {32816, "Options", "Display Zelvant Options", "Options", "Alt+O"},
    {57670, "Help Contents/Index", "Display Help File", "Help", ""},
};

// Every key binding of the main window.
const std::pair<int, QKeyCombination> kKeys[] = {
    {57634, Qt::CTRL | Qt::Key_C},
    {32818, Qt::CTRL | Qt::Key_F},
    {57600, Qt::CTRL | Qt::Key_N},
    {57601, Qt::CTRL | Qt::Key_O},
    {32816, Qt::ALT | Qt::Key_O},
    {32844, Qt::CTRL | Qt::Key_P},
    {32823, Qt::CTRL | Qt::SHIFT | Qt::Key_P},
    {32819, Qt::CTRL | Qt::Key_R},
    {57603, Qt::CTRL | Qt::Key_S},
    {57637, Qt::CTRL | Qt::Key_V},
    {32822, QKeyCombination(Qt::Key_Delete)},
    {109, QKeyCombination(Qt::Key_Escape)},
    {57635, Qt::CTRL | Qt::Key_X},
    {57665, Qt::ALT | Qt::Key_X},
};

QString Name(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// Pixels an icon actually paints at the given size.
int PaintedPixels(const QIcon& icon, int size) {
    const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            painted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    return painted;
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

  private slots:
    // --- the table

    void everyCommandOnce() {
        std::set<int> ids;
        for (const CommandInfo& info : Commands()) {
            QVERIFY2(ids.insert(info.id).second, qPrintable(QString::number(info.id)));
        }
        const int required[] = {57600, 57601, 57603, 57604, 32844, 57665, 32818, 32819, 32822,
                                32823, 32832, 59143, 32839, 32817, 59392, 59393, 32803, 32816,
                                32841, 32842, 32843, 57670, 57664, 109,   57634, 57635, 57637};
        for (int id : required) {
            QVERIFY2(FindCommand(id) != nullptr, qPrintable(QString::number(id)));
        }
        for (int id = 57616; id <= 57631; ++id) {
            const CommandInfo* info = FindCommand(id);
            QVERIFY(info != nullptr);
            QCOMPARE(QString::fromLatin1(info->prompt), QStringLiteral("Open this document"));
        }
        QCOMPARE(cmd::kRecentFileCount, 8);
        // The toolbar customisation framework is not built, so neither are its commands.
        for (int id : {32770, 32793, 32802, 32805, 32806, 32815}) {
            QVERIFY(FindCommand(id) == nullptr);
        }
        QVERIFY(FindCommand(0) == nullptr);
    }

    void textsAreExact_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kRows)); ++i) {
            QTest::newRow(kRows[i].menuText) << i;
        }
    }
    void textsAreExact() {
        QFETCH(int, index);
        const Row& row = kRows[index];
        const CommandInfo* info = FindCommand(row.id);
        QVERIFY(info != nullptr);
        QCOMPARE(QString::fromLatin1(info->menuText), QString::fromLatin1(row.menuText));
        QCOMPARE(QString::fromLatin1(info->prompt), QString::fromLatin1(row.prompt));
        QCOMPARE(QString::fromLatin1(info->toolTip), QString::fromLatin1(row.toolTip));
        QCOMPARE(CommandShortcut(*info),
                 QKeySequence(QString::fromLatin1(row.key), QKeySequence::PortableText));
    }

    void keyBindings() {
        for (const auto& [id, key] : kKeys) {
            const CommandInfo* info = FindCommand(id);
            QVERIFY(info != nullptr);
            QCOMPARE(CommandShortcut(*info), QKeySequence(key));
        }
        // Exactly these commands have keys, and no key is bound twice.
        std::set<int> bound;
        for (const CommandInfo& info : Commands()) {
            if (!CommandShortcut(info).isEmpty()) {
                bound.insert(info.id);
            }
        }
        QCOMPARE(bound.size(), std::size(kKeys));
        std::set<QString> keys;
        for (const auto& [id, key] : kKeys) {
            QVERIFY(bound.count(id) == 1);
            QVERIFY(keys.insert(QKeySequence(key).toString()).second);
        }
    }

    // --- actions

    void actionsCarryTheRow() {
        QObject owner;
        for (const CommandInfo& info : Commands()) {
            QAction* action = MakeAction(info.id, &owner);
            QVERIFY(action != nullptr);
            QCOMPARE(CommandId(action), info.id);
            QCOMPARE(action->text(), QString::fromLatin1(info.menuText));
            QCOMPARE(action->statusTip(), QString::fromLatin1(info.prompt));
            QCOMPARE(action->isCheckable(), info.checkable);
            if (*info.toolTip != '\0') {
                QVERIFY2(action->toolTip().startsWith(QString::fromLatin1(info.toolTip)),
                         qPrintable(action->toolTip()));
            }
        }
        QAction* properties = MakeAction(cmd::kProperties, &owner);
        QCOMPARE(properties->parent(), &owner);
        QCOMPARE(properties->data().toInt(), 32823);
        QCOMPARE(properties->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
        QCOMPARE(properties->toolTip(),
                 QStringLiteral("Properties (") +
                     properties->shortcut().toString(QKeySequence::NativeText) +
                     QStringLiteral(")"));
        QVERIFY(!properties->icon().isNull());
        QCOMPARE(MakeAction(cmd::kMainWindow, &owner)->toolTip(),
                 QStringLiteral("Toggle Man Window"));
        for (int id : {32832, 32839, 32803, 59392, 59393}) {  // they show a check mark
            QVERIFY(FindCommand(id)->checkable);
        }
        QVERIFY(MakeAction(32770, &owner) == nullptr);
        QCOMPARE(CommandId(nullptr), 0);
        QAction plain(QStringLiteral("plain"));
        QCOMPARE(CommandId(&plain), 0);
    }

    // --- icons

    void everyCommandIconResolves() {
        for (const CommandInfo& info : Commands()) {
            if (*info.icon != '\0') {
                QVERIFY2(!ZelvantIcon(info.icon).isNull(), info.icon);
                QVERIFY2(!ZelvantIcon(info.icon).pixmap(24).isNull(), info.icon);
            }
        }
        // The record list and folder tree images look the same under every theme.
        for (const char* name : {"root", "folder", "folder-open", "record", "blank", "expired",
                                 "expired-header", "notes", "notes-header"}) {
            QVERIFY2(!ZelvantIcon(name).isNull() && ThemeIconName(name).isEmpty(), name);
        }
        QVERIFY(PaintedPixels(AppIcon(), 48) > 48 * 12);
        QVERIFY(ZelvantIcon("no-such-icon").isNull());
        QVERIFY(ZelvantIcon("").isNull());
    }

    void bundledDrawingsRender() {
        InitZelvantResources();
        QStringList files = QDir(QStringLiteral(":/icons")).entryList(QDir::Files);
        QCOMPARE(std::size_t(files.size()), IconNames().size());
        for (std::string_view name : IconNames()) {
            files.removeOne(Name(name) + QStringLiteral(".svg"));
            const QString path = BundledIconPath(name);
            QVERIFY2(QFile::exists(path), qPrintable(path));
            QSvgRenderer renderer(path);
            QVERIFY2(renderer.isValid(), qPrintable(path));
            QCOMPARE(renderer.viewBox(), QRect(0, 0, 24, 24));
            const QIcon icon(path);
            QVERIFY2(!icon.pixmap(24).isNull(), qPrintable(path));
            const int painted16 = PaintedPixels(icon, 16);
            const int painted24 = PaintedPixels(icon, 24);
            if (name == "blank") {
                QCOMPARE(painted24, 0);
            } else {
                // Something legible at both sizes, and not a filled square.
                QVERIFY2(painted16 > 16 && painted24 > 40, qPrintable(path));
                QVERIFY2(painted24 < 24 * 24, qPrintable(path));
            }
        }
        QVERIFY2(files.isEmpty(), qPrintable(files.join(' ')));  // none the program cannot name
    }

    void themeIsPreferredForCommandsOnly() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("zvtest/24x24/actions")));
        QFile index(dir.filePath(QStringLiteral("zvtest/index.theme")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write(
            "[Icon Theme]\nName=zvtest\nDirectories=24x24/actions\n\n"
            "[24x24/actions]\nSize=24\nType=Fixed\n");
        index.close();
        QImage red(24, 24, QImage::Format_ARGB32);
        red.fill(Qt::red);
        for (const char* name : {"document-save", "folder"}) {
            QVERIFY(
                red.save(dir.filePath(QStringLiteral("zvtest/24x24/actions/%1.png").arg(name))));
        }

        const QStringList oldPaths = QIcon::themeSearchPaths();
        const QString oldTheme = QIcon::themeName();
        QIcon::setThemeSearchPaths({root.path()});
        QIcon::setThemeName(QStringLiteral("zvtest"));

        QCOMPARE(ThemeIconName("save"), QStringLiteral("document-save"));
        const QIcon save = ZelvantIcon("save");
        const QIcon folder = ZelvantIcon("folder");
        const QIcon open = ZelvantIcon("open");  // not in this theme
        const QImage savePixels = save.pixmap(24).toImage();
        const QImage folderPixels = folder.pixmap(24).toImage();
        const QImage openPixels = open.pixmap(24).toImage();
        const QString saveName = save.name();
        const QString openName = open.name();

        QIcon::setThemeName(oldTheme);
        QIcon::setThemeSearchPaths(oldPaths);

        QCOMPARE(saveName, QStringLiteral("document-save"));
        QCOMPARE(savePixels.pixelColor(12, 12), QColor(Qt::red));
        QVERIFY(folderPixels.pixelColor(12, 14) != QColor(Qt::red));
        QVERIFY(!openPixels.isNull());
        QVERIFY(openName != QStringLiteral("document-open"));
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
