// The toolbars, keys and tools the user made: kept and read back, checked item by item when
// read, and tools turned into the program and arguments that are started.

#include <QTest>

#include "settings/settings_store.h"
#include "ui/commands.h"
#include "ui/customization.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

CBarCustomization RoundTrip(const CBarCustomization& state) {
    settings::CMemorySettingsStore store;
    state.Save(store);
    CBarCustomization back;
    back.Load(store);
    return back;
}

void Store(settings::CMemorySettingsStore& store, const char* key, const char* json) {
    store.WriteString(kCustomizationSection, key, json);
}

}  // namespace

class CustomizationTest : public QObject {
    Q_OBJECT
  private slots:
    void toolbarsAreKeptAndReadBack() {
        CBarCustomization state;
        const int bar = state.AddToolbar(QStringLiteral("Mine"));
        QCOMPARE(bar, cmd::kUserToolbarFirst);
        QVERIFY(state.InsertButton(bar, 0, cmd::kPasswordPopup));
        QVERIFY(state.InsertButton(bar, 5, cmd::kNew));
        QVERIFY(state.MoveButton(bar, 1, 0));
        QVERIFY(!state.InsertButton(bar, 0, 12345));
        QVERIFY(!state.InsertButton(bar, 0, cmd::kUserToolFirst));  // no such tool yet
        state.SetToolbarVisible(cmd::kStandardToolbar, false);
        QVERIFY(state.RemoveButton(cmd::kStandardToolbar, 0));
        state.SetLogoStrip(false);
        state.SetLargeIcons(true);
        state.SetRecordViewDoubleClick(cmd::kNewRecord);
        state.SetLook({StyleChoice::Fusion, ColourChoice::Dark});

        const CBarCustomization back = RoundTrip(state);
        QVERIFY(back == state);
        QCOMPARE(back.FindToolbar(bar)->commands,
                 (std::vector<int>{cmd::kNew, cmd::kPasswordPopup}));
        QVERIFY(!back.FindToolbar(cmd::kStandardToolbar)->visible);

        // Reset brings the standard buttons back; ten user toolbars at most.
        state.ResetToolbar(cmd::kStandardToolbar);
        QCOMPARE(state.FindToolbar(cmd::kStandardToolbar)->commands, DefaultStandardButtons());
        for (int i = 1; i < kMaxUserToolbars; ++i) {
            QVERIFY(state.AddToolbar({}) != 0);
        }
        QCOMPARE(state.AddToolbar(QStringLiteral("Eleventh")), 0);
        QVERIFY(!state.DeleteToolbar(cmd::kStandardToolbar));
        QVERIFY(state.DeleteToolbar(bar));
        QCOMPARE(state.AddToolbar({}), bar);  // its slot is free again
    }

    void aShortcutMovesAndTheOldHolderLosesIt() {
        CBarCustomization state;
        const QKeySequence ctrlN(QStringLiteral("Ctrl+N"));
        QCOMPARE(state.ShortcutOwner(ctrlN), cmd::kNew);
        state.AssignShortcut(cmd::kPasswordPopup, ctrlN);
        QCOMPARE(state.ShortcutOwner(ctrlN), cmd::kPasswordPopup);
        QVERIFY(state.Shortcuts(cmd::kNew).isEmpty());
        // Esc stays the window's.
        state.AssignShortcut(cmd::kNew, QKeySequence(Qt::Key_Escape));
        QVERIFY(state.Shortcuts(cmd::kNew).isEmpty());

        const CBarCustomization back = RoundTrip(state);
        QCOMPARE(back.Shortcuts(cmd::kPasswordPopup), QList<QKeySequence>{ctrlN});
        QVERIFY(back.Shortcuts(cmd::kNew).isEmpty());
        QCOMPARE(back.Shortcuts(cmd::kOpen),
                 QList<QKeySequence>{QKeySequence::fromString("Ctrl+O")});

        state.ResetToolbarsAndShortcuts();
        QCOMPARE(state.ShortcutOwner(ctrlN), cmd::kNew);
    }

    void buttonsAndKeysFollowTheirTools() {
        CBarCustomization state;
        for (const char* name : {"a", "b", "c"}) {
            QVERIFY(state.AddTool({QString::fromLatin1(name), QStringLiteral("true"), {}, {}}));
        }
        const int bar = state.AddToolbar({});
        state.InsertButton(bar, 9, cmd::kUserToolFirst);      // a
        state.InsertButton(bar, 9, cmd::kUserToolFirst + 2);  // c
        state.AssignShortcut(cmd::kUserToolFirst + 2, QKeySequence(QStringLiteral("Ctrl+9")));
        state.RemoveTool(0);
        QCOMPARE(state.FindToolbar(bar)->commands, std::vector<int>{cmd::kUserToolFirst + 1});
        QCOMPARE(state.ShortcutOwner(QKeySequence(QStringLiteral("Ctrl+9"))),
                 cmd::kUserToolFirst + 1);
        state.MoveTool(1, 0);  // c first
        QCOMPARE(state.Tools().front().name, QStringLiteral("c"));
        QCOMPARE(state.FindToolbar(bar)->commands, std::vector<int>{cmd::kUserToolFirst});
        QCOMPARE(state.ShortcutOwner(QKeySequence(QStringLiteral("Ctrl+9"))), cmd::kUserToolFirst);
    }

    void aCorruptStateKeepsWhatIsValid() {
        settings::CMemorySettingsStore store;
        Store(store, "Toolbars",
              R"([{"id":32794,"name":"Kept","commands":[32839,99999,0,57600]},)"
              R"({"id":4,"name":"Bogus"},{"id":32794,"name":"Twice"},"text",)"
              R"({"id":59392,"visible":false,"commands":"not a list"}])");
        Store(store, "Shortcuts",
              R"({"32839":["Ctrl+K"],"57600":["Ctrl+K"],"99999":["Ctrl+J"],"abc":1})");
        QString tools = QStringLiteral("[");
        for (int i = 0; i < 12; ++i) {
            tools += QStringLiteral(R"({"name":"t%1","command":"prog%1"},)").arg(i);
        }
        tools += QStringLiteral(R"({"name":"empty","command":""}])");
        store.WriteString(kCustomizationSection, "Tools", tools.toStdString());
        store.WriteInt(kCustomizationSection, "RecordViewDblClick", 99999);
        store.WriteString(kCustomizationSection, "Style", "Psychedelic");

        CBarCustomization state;
        state.Load(store);
        QCOMPARE(int(state.Toolbars().size()), 2);
        const ToolbarSpec* kept = state.FindToolbar(32794);
        QVERIFY(kept != nullptr);
        QCOMPARE(kept->name, QStringLiteral("Kept"));
        QCOMPARE(kept->commands, (std::vector<int>{cmd::kPasswordPopup, 0, cmd::kNew}));
        const ToolbarSpec* standard = state.FindToolbar(cmd::kStandardToolbar);
        QVERIFY(!standard->visible);
        QCOMPARE(standard->commands, DefaultStandardButtons());
        QCOMPARE(state.ShortcutOwner(QKeySequence(QStringLiteral("Ctrl+K"))), cmd::kPasswordPopup);
        QCOMPARE(state.ShortcutOwner(QKeySequence(QStringLiteral("Ctrl+J"))), 0);
        QCOMPARE(int(state.Tools().size()), kMaxUserTools);
        QCOMPARE(state.Tools().back().name, QStringLiteral("t9"));
        QCOMPARE(state.RecordViewDoubleClick(), 0);
        QCOMPARE(state.Look().style, StyleChoice::Platform);

        // Not JSON at all: defaults.
        Store(store, "Toolbars", "{{{");
        Store(store, "Shortcuts", "[1,2");
        state.Load(store);
        QCOMPARE(state.Toolbars().size(), std::size_t(1));
        QCOMPARE(state.ShortcutOwner(QKeySequence(QStringLiteral("Ctrl+N"))), cmd::kNew);
    }

    void toolsExpandMacrosIntoWholeArguments() {
        const QString file = QStringLiteral("/home/me/My Files/bank.zvd");
        const ToolLaunch launch = PrepareTool(
            {QStringLiteral("Copy"), QStringLiteral("cp"),
             QStringLiteral(R"($(FilePath) "/backup/$(FileName).bak" --dir=$(FileDir))"),
             QStringLiteral("$(FileDir)")},
            file);
        QVERIFY(launch.error.isEmpty());
        QCOMPARE(launch.program, QStringLiteral("cp"));
        QCOMPARE(launch.arguments, (QStringList{file, QStringLiteral("/backup/bank.zvd.bak"),
                                                QStringLiteral("--dir=/home/me/My Files")}));
        QCOMPARE(launch.folder, QStringLiteral("/home/me/My Files"));

        // No file yet: a tool that needs one says so; one that does not starts.
        QVERIFY(!PrepareTool({QStringLiteral("Files"),
                              QStringLiteral("xdg-open"),
                              QStringLiteral("$(FileDir)"),
                              {}},
                             {})
                     .error.isEmpty());
        QVERIFY(PrepareTool({QStringLiteral("Ed"), QStringLiteral("gedit"), {}, {}}, {})
                    .error.isEmpty());
        QVERIFY(!PrepareTool({QStringLiteral("None"), QStringLiteral("  "), {}, {}}, file)
                     .error.isEmpty());
    }

    void defaultToolsPickAnInstalledEditor() {
#ifndef Q_OS_WIN
        const auto has = [](QStringList names) {
            return [names](const QString& name) { return names.contains(name); };
        };
        std::vector<UserTool> tools = DefaultTools(
            has({QStringLiteral("code"), QStringLiteral("kate")}), QStringLiteral("code --wait"));
        QCOMPARE(int(tools.size()), 2);
        QCOMPARE(tools[0].name, QStringLiteral("Text Editor"));
        QCOMPARE(tools[0].command, QStringLiteral("code"));
        QCOMPARE(tools[0].arguments, QStringLiteral("--wait"));
        QCOMPARE(tools[1].command, QStringLiteral("xdg-open"));
        // $VISUAL names a missing program: the first installed of the list.
        tools = DefaultTools(has({QStringLiteral("gedit"), QStringLiteral("mousepad")}),
                             QStringLiteral("nano"));
        QCOMPARE(tools[0].command, QStringLiteral("mousepad"));
        // No editor at all: only the file manager.
        tools = DefaultTools(has({}), {});
        QCOMPARE(int(tools.size()), 1);
        QCOMPARE(tools[0].name, QStringLiteral("Files"));
#endif
    }
};

QTEST_GUILESS_MAIN(CustomizationTest)
#include "customization_test.moc"
