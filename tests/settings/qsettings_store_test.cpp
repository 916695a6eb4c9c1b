// The desktop store against real files: XDG_CONFIG_HOME and XDG_CONFIG_DIRS point at temporary
// folders before the first QSettings of the process exists.

#include "settings/qsettings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#include "report/stored_print_flags.h"
#include "settings/app_settings.h"

namespace zelvant::settings {
namespace {

class ConfigFolders : public testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid() && system_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", system_.path().toLocal8Bit());
    }

    static QString UserFile() { return Instance()->home_.path() + "/Quillmere/Zelvant.conf"; }
    static QString SystemFile() { return Instance()->system_.path() + "/Quillmere/Zelvant.conf"; }

    static ConfigFolders* Instance() {
        static auto* const folders =
            static_cast<ConfigFolders*>(testing::AddGlobalTestEnvironment(new ConfigFolders));
        return folders;
    }

  private:
    QTemporaryDir home_;
    QTemporaryDir system_;
};

[[maybe_unused]] const auto* const kFolders = ConfigFolders::Instance();

void WriteFile(const QString& path, const char* text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

class QSettingsStoreTest : public testing::Test {
  protected:
    void SetUp() override {
        QFile::remove(ConfigFolders::UserFile());
        QFile::remove(ConfigFolders::SystemFile());
    }
};

TEST_F(QSettingsStoreTest, ValuesSurviveAReopenInTheUsersFile) {
    {
        CQSettingsStore store;
        store.WriteInt("Settings", "MinTime", -5);
        store.WriteString("Settings", "WindowPlacement", "10,20,300,400,1,0");
        store.WriteString("Settings", "CurrentDir", "@home/caf\xc3\xa9; x=y");
        store.WriteString("Printing", "LastTemplate", "");
        store.WriteInt("Settings", "Gone", 1);
        store.Remove("Settings", "Gone");
    }
    ASSERT_TRUE(QFile::exists(ConfigFolders::UserFile()));
    CQSettingsStore store;
    EXPECT_EQ(store.ReadInt("Settings", "MinTime", 0), -5);
    EXPECT_EQ(store.ReadString("Settings", "MinTime", ""), "-5");
    EXPECT_EQ(store.ReadString("Settings", "WindowPlacement", ""), "10,20,300,400,1,0");
    EXPECT_EQ(store.ReadString("Settings", "CurrentDir", ""), "@home/caf\xc3\xa9; x=y");
    EXPECT_TRUE(store.Contains("Printing", "LastTemplate"));
    EXPECT_EQ(store.ReadString("Printing", "LastTemplate", "x"), "");
    EXPECT_FALSE(store.Contains("Settings", "Gone"));
    EXPECT_EQ(store.ReadInt("Settings", "Gone", 7), 7);
}

TEST_F(QSettingsStoreTest, HandEditedValuesReadSensibly) {
    QDir().mkpath(QFileInfo(ConfigFolders::UserFile()).path());
    WriteFile(ConfigFolders::UserFile(),
              "[Settings]\nTrayAction=two\nTimedClear=99999999999\nWindowPlacement=1,2,3,4,1,0\n"
              "[Display]\nNotes= 1\n");
    CQSettingsStore store;
    EXPECT_EQ(store.ReadInt("Settings", "TrayAction", 1), 1);
    EXPECT_EQ(store.ReadInt("Settings", "TimedClear", 0), 0);
    EXPECT_EQ(store.ReadString("Settings", "WindowPlacement", ""), "1,2,3,4,1,0");
    EXPECT_EQ(store.ReadInt("Display", "Notes", 0), 1);
}

TEST_F(QSettingsStoreTest, SystemWideValuesDoNotCountAsTheUsers) {
    QDir().mkpath(QFileInfo(ConfigFolders::SystemFile()).path());
    WriteFile(ConfigFolders::SystemFile(), "[Settings]\nTrayIcon=0\n[Printing]\nNotes=1\n");
    CQSettingsStore store;
    EXPECT_EQ(store.ReadInt("Settings", "TrayIcon", 1), 1);
    EXPECT_FALSE(store.Contains("Printing", "Notes"));
}

TEST_F(QSettingsStoreTest, WholeRecordAndEveryPasswordByteRoundTrip) {
    AppSettings saved;
    saved.currentDir = "/srv/x";
    saved.minTime = 4;
    saved.printing.notes = 1;
    for (int b = 1; b < 256; ++b) {
        if (b != kPDataMask) {
            saved.securityPassword += static_cast<char>(b);
        }
    }
    {
        CQSettingsStore store;
        SaveSettings(store, saved);
    }
    CQSettingsStore store;
    EXPECT_EQ(LoadSettings(store), saved);
    // The report reads its print flags through the same store.
    EXPECT_TRUE(report::StoredPrintFlags().Prints(RecordField::Notes));
    EXPECT_FALSE(report::StoredPrintFlags().Prints(RecordField::SiteName));
}

}  // namespace
}  // namespace zelvant::settings
