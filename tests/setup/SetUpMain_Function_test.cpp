// The start procedure: where the two files are, what it reads and writes
// back, and the program's options.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/profile.h"
#include "setup/Common_Function.h"
#include "setup/Global.h"
#include "setup/SetUpMain_Function.h"
#include "tests/setup/setup_fixture.h"

namespace kestcfg::test {
namespace {

std::string Read(const QString& file, const char* section, const char* key) {
    return kest::platform::GetProfileString(file.toStdString(), section, key, "<missing>");
}

TEST(StartUp, WritesTheDefaultsOfMissingKeysBack) {
    QTemporaryDir dir;
    const FileLocations files = LocateFiles(dir.path(), QString(), QString());
    Global::Reset();
    StartUp(files);
    EXPECT_EQ(Global::ConnectTimeout, 500);
    EXPECT_EQ(Read(files.settingsFile, "SetUpTool", "Timeout"), "500");
    const std::array<int16_t, 9> colours{128, 128, 128, 255, 255, 0, 255, 0, 0};
    EXPECT_EQ(Global::MotionColours, colours);
    EXPECT_EQ(Read(files.settingsFile, "MotionDetection", "DetectR"), "255");
    EXPECT_EQ(Read(files.settingsFile, "MotionDetection", "SettingB"), "0");
    EXPECT_TRUE(Global::CameraPassword.isBlank());

    // Deleting Timeout brings "500" back at the next start; other keys stay.
    kest::platform::WriteProfileString(files.settingsFile.toStdString(), "MotionDetection",
                                       "LatticeR", "7");
    QFile settings(files.settingsFile);
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    QByteArray text = settings.readAll();
    settings.close();
    text.replace("Timeout=500\n", "");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    settings.write(text);
    settings.close();
    EXPECT_EQ(Read(files.settingsFile, "SetUpTool", "Timeout"), "<missing>");
    StartUp(files);
    EXPECT_EQ(Read(files.settingsFile, "SetUpTool", "Timeout"), "500");
    EXPECT_EQ(Global::MotionColours[0], 7);
}

TEST(StartUp, TimeoutIsItsLeadingNumberWithinSixteenBits) {
    QTemporaryDir dir;
    const FileLocations files = LocateFiles(dir.path(), QString(), QString());
    const std::pair<const char*, int> rows[] = {
        {"200", 200}, {"750ms", 750}, {"slow", 0}, {"-5", 0}, {"99999", 32767},
    };
    for (const auto& [text, value] : rows) {
        kest::platform::WriteProfileString(files.settingsFile.toStdString(), "SetUpTool", "Timeout",
                                           text);
        StartUp(files);
        EXPECT_EQ(Global::ConnectTimeout, value) << text;
        EXPECT_EQ(Read(files.settingsFile, "SetUpTool", "Timeout"), std::to_string(value));
    }
}

TEST(StartUp, FindsItsFilesInTheConfigFolderTheProgramFolderOrTheInstall) {
    QTemporaryDir config, program, data, home;
    // --config: both files there, and nowhere else.
    FileLocations f = LocateFiles(config.path(), program.path(), data.path());
    EXPECT_EQ(f.settingsFile, config.path() + "/Kest.ini");
    EXPECT_EQ(f.languageFile, config.path() + "/localize/Kest.ini");
    EXPECT_TRUE(f.programFolder.endsWith('/'));

    // An installed program: the texts from the data folder, the settings in
    // the user's configuration folder.
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    f = LocateFiles(QString(), program.path(), data.path());
    EXPECT_EQ(f.settingsFile, home.path() + "/kestcfg/Kest.ini");
    EXPECT_EQ(f.languageFile, data.path() + "/localize/Kest.ini");
    Global::Reset();
    StartUp(f);
    EXPECT_TRUE(QFile::exists(home.path() + "/kestcfg/Kest.ini"));
    qunsetenv("XDG_CONFIG_HOME");

    // A program folder holding the language file keeps both (build tree,
    // portable copy).
    QDir(program.path()).mkpath("localize");
    QFile(program.path() + "/localize/Kest.ini").open(QIODevice::WriteOnly);
    f = LocateFiles(QString(), program.path(), data.path());
    EXPECT_EQ(f.settingsFile, program.path() + "/Kest.ini");
    EXPECT_EQ(f.languageFile, program.path() + "/localize/Kest.ini");
}

TEST(Program, HelpAndVersionNeedNoDisplay) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    program.start(KESTCFG_PATH, {"--help"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(help.startsWith("Usage: kestcfg")) << help.toStdString();
    EXPECT_TRUE(help.contains("--demo"));
    EXPECT_TRUE(help.contains("--config"));
    program.start(KESTCFG_PATH, {"--version"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().startsWith("kestcfg 1."));
}

}  // namespace
}  // namespace kestcfg::test
