// The command table: unique ids, the wording and keys users know, and icons that resolve.

#include <QAction>
#include <QDir>
#include <QTest>
#include <set>
#include <tuple>

#include "ui/commands.h"
#include "ui/icons.h"

using namespace zelvant::ui;

class CommandsTest : public QObject {
    Q_OBJECT

  private slots:
    // Every bound key with the text its command shows; no other command has a key.
    void idsTextsAndKeys() {
        const std::tuple<int, const char*, QKeyCombination> rows[] = {
            {cmd::kNew, "&New", Qt::CTRL | Qt::Key_N},
            {cmd::kOpen, "&Open...", Qt::CTRL | Qt::Key_O},
            {cmd::kSave, "&Save", Qt::CTRL | Qt::Key_S},
            {cmd::kPrint, "Print/Print Preview", Qt::CTRL | Qt::Key_P},
            {cmd::kExit, "E&xit", Qt::ALT | Qt::Key_X},
            {cmd::kNewFolder, "New &Folder", Qt::CTRL | Qt::Key_F},
            {cmd::kNewRecord, "New &Record", Qt::CTRL | Qt::Key_R},
            {cmd::kDelete, "&Delete", QKeyCombination(Qt::Key_Delete)},
            {cmd::kProperties, "Properties", Qt::CTRL | Qt::SHIFT | Qt::Key_P},
            {cmd::kOptions, "Options", Qt::ALT | Qt::Key_O},
            {cmd::kCopy, "&Copy", Qt::CTRL | Qt::Key_C},
            {cmd::kCut, "Cu&t", Qt::CTRL | Qt::Key_X},
            {cmd::kPaste, "&Paste", Qt::CTRL | Qt::Key_V},
            {cmd::kEscape, "", QKeyCombination(Qt::Key_Escape)},
            {cmd::kCopyPassword, "Copy Pass&word", Qt::CTRL | Qt::Key_C},
            {cmd::kCopyUserName, "Copy &User Name", Qt::CTRL | Qt::Key_B},
            {cmd::kFind, "Find...", Qt::CTRL | Qt::Key_E},
        };
        QObject owner;
        for (const auto& [id, text, key] : rows) {
            QAction* action = MakeAction(id, &owner);
            QVERIFY2(action != nullptr, text);
            QCOMPARE(CommandId(action), id);
            QCOMPARE(action->text(), QString::fromLatin1(text));
            QCOMPARE(action->shortcut(), QKeySequence(key));
        }
        std::set<int> ids;
        std::set<QString> keys;
        std::size_t bound = 0;
        for (const CommandInfo& info : Commands()) {
            QVERIFY2(ids.insert(info.id).second, qPrintable(QString::number(info.id)));
            QVERIFY2(*info.icon == '\0' || !ZelvantIcon(info.icon).isNull(), info.icon);
            const QKeySequence key = CommandShortcut(info);
            bound += key.isEmpty() ? 0 : 1;
            // No key may run two commands, except the record list's own copy, which is bound to
            // the list alone and so never meets the text fields' Copy.
            if (info.id == cmd::kCopyPassword) {
                QCOMPARE(key, CommandShortcut(*FindCommand(cmd::kCopy)));
                continue;
            }
            QVERIFY2(key.isEmpty() || keys.insert(key.toString()).second, info.shortcut);
        }
        QCOMPARE(bound, std::size(rows));
        QVERIFY(FindCommand(0) == nullptr && MakeAction(0, &owner) == nullptr);
        QVERIFY(MakeAction(cmd::kProperties, &owner)->toolTip().startsWith("Properties (Ctrl+"));
        QCOMPARE(MakeAction(cmd::kMainWindow, &owner)->toolTip(), "Toggle Man Window");
    }

    void everyIconResolves() {
        for (std::string_view name : IconNames()) {
            QVERIFY2(!BundledIcon(name).pixmap(24).isNull(), name.data());
        }
        QCOMPARE(std::size_t(QDir(QStringLiteral(":/icons")).entryList(QDir::Files).size()),
                 IconNames().size());
        // Tree and list images must look alike under every theme.
        QVERIFY(ThemeIconName("folder").isEmpty() && ThemeIconName("record").isEmpty());
        QVERIFY(ZelvantIcon("no-such-icon").isNull() && !AppIcon().isNull());
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
