#include "settings/direct_settings.h"

#include <gtest/gtest.h>

namespace zelvant::settings {
namespace {

TEST(DirectSettings, AbsentKeysGiveTheirDefaults) {
    CMemorySettingsStore store;
    const CDirectSettings direct(store);
    EXPECT_TRUE(direct.SingleInstance());
    EXPECT_TRUE(direct.Splash());
    EXPECT_FALSE(direct.ClearMRU());
    EXPECT_EQ(direct.IconStartDelay(), 15);
    EXPECT_EQ(direct.DelayWarn(), 0);
    EXPECT_EQ(direct.RegVersion(), 0);
    EXPECT_EQ(direct.ReportCtrl(), "");
    EXPECT_EQ(direct.PopupPosition().x, -1);
    EXPECT_EQ(direct.PasswordDialogPosition().y, -1);
    EXPECT_EQ(direct.WindowPlacement(), "");
    EXPECT_EQ(direct.LastTemplate(), "");
    EXPECT_TRUE(store.Writes().empty());
}

struct HookCounts {
    int toolbarResets = 0;
    int toolChecks = 0;
    VersionResetHooks Hooks() {
        return {[this] { ++toolbarResets; }, [this] { ++toolChecks; }};
    }
};

TEST(VersionReset, FirstStartResetsOnceAndNextStartDoesNot) {
    CMemorySettingsStore store;
    HookCounts counts;
    EXPECT_TRUE(RunVersionReset(store, counts.Hooks()));
    EXPECT_EQ(store.Writes(),
              (std::vector<std::string>{"Settings/RegVersion", "Settings/ReportCtrl"}));
    EXPECT_EQ(store.ReadInt("Settings", "RegVersion", 0), 1040);
    ASSERT_TRUE(store.Contains("Settings", "ReportCtrl"));
    EXPECT_EQ(store.ReadString("Settings", "ReportCtrl", "absent"), "");
    EXPECT_EQ(counts.toolbarResets, 1);

    store.ClearWrites();
    EXPECT_FALSE(RunVersionReset(store, counts.Hooks()));
    EXPECT_TRUE(store.Writes().empty());
    EXPECT_EQ(counts.toolbarResets, 1);
    // The user tools are looked at on every start.
    EXPECT_EQ(counts.toolChecks, 2);
}

TEST(VersionReset, AnyOtherStoredVersionResetsTheListLayout) {
    for (const int version : {1039, 1041, -1}) {
        CMemorySettingsStore store;
        store.WriteInt("Settings", "RegVersion", version);
        store.WriteString("Settings", "ReportCtrl",
                          "(14,3) 1 2 3 4 5 6 7 8 9 10 11 12 13 14 2 0 1");
        EXPECT_TRUE(RunVersionReset(store, {}));
        EXPECT_EQ(CDirectSettings(store).ReportCtrl(), "");
        EXPECT_EQ(CDirectSettings(store).RegVersion(), 1040);
    }
}

}  // namespace
}  // namespace zelvant::settings
