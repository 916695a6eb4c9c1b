// The desktop store against real files: XDG_CONFIG_HOME and XDG_CONFIG_DIRS point at temporary
// folders before the first QSettings of the process exists.

#include "settings/qsettings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#include <sys/stat.h>

#include "report/stored_print_flags.h"
#include "settings/app_settings.h"
#include "settings/security_password.h"

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

TEST_F(QSettingsStoreTest, WholeRecordAndTheHashRoundTrip) {
    AppSettings saved;
    saved.currentDir = "/srv/x";
    saved.minTime = 4;
    saved.printing.notes = 1;
    // An INI file reads commas as a list and '$' is no plain character either.
    saved.securityPasswordHash = HashSecurityPassword("s3cret, \"quoted\" $x");
    ASSERT_FALSE(saved.securityPasswordHash.empty());
    {
        CQSettingsStore store;
        SaveSettings(store, saved);
    }
    CQSettingsStore store;
    EXPECT_EQ(LoadSettings(store), saved);
    EXPECT_TRUE(
        VerifySecurityPassword(LoadSettings(store).securityPasswordHash, "s3cret, \"quoted\" $x"));
    // The report reads its print flags through the same store.
    EXPECT_TRUE(report::StoredPrintFlags().Prints(RecordField::Notes));
    EXPECT_FALSE(report::StoredPrintFlags().Prints(RecordField::SiteName));
}

// Recent files and the protection settings are nobody else's business, whatever the umask, and
// a file an older version left open to others is closed at the next write.
TEST_F(QSettingsStoreTest, FileAndFolderAreTheOwnersOnly) {
    const mode_t old = ::umask(022);
    const QString folder = QFileInfo(ConfigFolders::UserFile()).path();
    const auto mode = [](const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777)
                                                                       : -1;
    };
    QDir(folder).removeRecursively();
    {
        CQSettingsStore store;
        store.WriteInt("Settings", "MinTime", 2);
    }
    EXPECT_EQ(mode(ConfigFolders::UserFile()), 0600);
    EXPECT_EQ(mode(folder), 0700);

    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(ConfigFolders::UserFile()).constData(), 0644), 0);
    {
        CQSettingsStore store;
        EXPECT_EQ(store.ReadInt("Settings", "MinTime", 0), 2);
        EXPECT_EQ(mode(ConfigFolders::UserFile()), 0644);  // reading alone changes nothing
        store.WriteInt("Settings", "MinTime", 3);
        store.Sync();
        EXPECT_EQ(mode(ConfigFolders::UserFile()), 0600);
    }
    EXPECT_EQ(mode(ConfigFolders::UserFile()), 0600);
    EXPECT_EQ(mode(folder), 0700);
    ::umask(old);
}

}  // namespace
}  // namespace zelvant::settings
