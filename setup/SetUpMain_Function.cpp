#include "setup/SetUpMain_Function.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <memory>

#include "setup/Common_Function.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/demo/DemoCameras.h"
#include "setup/demo/DemoWalk.h"
#include "setup/frmMain_IP.h"

#ifndef KESTCFG_VERSION
#define KESTCFG_VERSION "0"
#endif
#ifndef KESTCFG_DATA_FROM_BIN
#define KESTCFG_DATA_FROM_BIN "../share/kestcfg"
#endif

namespace kestcfg {

namespace {

QString WithSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

struct Colour {
    const char* key;
    int fallback;
};
constexpr Colour kMotionColours[] = {
    {"LatticeR", 128}, {"LatticeG", 128}, {"LatticeB", 128}, {"SettingR", 255}, {"SettingG", 255},
    {"SettingB", 0},   {"DetectR", 255},  {"DetectG", 0},    {"DetectB", 0},
};

void DefineOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("kestcfg: finds a camera, logs in to it and changes its settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("config"),
                      QStringLiteral("Keep the settings file in DIR/Kest.ini and read the texts "
                                     "from DIR/localize/Kest.ini."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("demo"),
                      QStringLiteral("Start three simulated cameras on loopback (in this process) "
                                     "and connect to the first.")});
    parser.addOption({QStringLiteral("walk"),
                      QStringLiteral("With --demo: walk through the connect, login and search "
                                     "dialogs by itself, save a picture of each form in DIR, "
                                     "and end."),
                      QStringLiteral("DIR")});
}

}  // namespace

FileLocations LocateFiles(const QString& configDir, const QString& programDir,
                          const QString& dataDir) {
    FileLocations f;
    if (!configDir.isEmpty()) {
        f.programFolder = WithSlash(QDir(configDir).absolutePath());
        f.settingsFile = f.programFolder + QStringLiteral("Kest.ini");
        f.languageFile = f.programFolder + QStringLiteral("localize/Kest.ini");
        return f;
    }
    f.programFolder = WithSlash(programDir);
    if (QFileInfo::exists(f.programFolder + QStringLiteral("localize/Kest.ini"))) {
        f.settingsFile = f.programFolder + QStringLiteral("Kest.ini");
        f.languageFile = f.programFolder + QStringLiteral("localize/Kest.ini");
        return f;
    }
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    f.settingsFile = config + QStringLiteral("/kestcfg/Kest.ini");
    f.languageFile = WithSlash(dataDir) + QStringLiteral("localize/Kest.ini");
    return f;
}

void StartUp(const FileLocations& files) {
    Global::ProgramFolder = files.programFolder;
    Global::SettingsFile = files.settingsFile;
    Global::LanguageFile = files.languageFile;
    QDir().mkpath(QFileInfo(files.settingsFile).absolutePath());
    Global::ConnectTimeout = int16_t(ReadSettingNumber(
        QStringLiteral("SetUpTool"), QStringLiteral("Timeout"), kDefaultTimeout, 0, INT16_MAX));
    Global::CameraPassword = QString();
    Global::NewPassword = QString();
    for (size_t i = 0; i < std::size(kMotionColours); ++i) {
        Global::MotionColours[i] = int16_t(ReadSettingNumber(
            QStringLiteral("MotionDetection"), QLatin1String(kMotionColours[i].key),
            kMotionColours[i].fallback, INT16_MIN, INT16_MAX));
    }
}

int Main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("kestcfg"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTCFG_VERSION));
    // --help and --version need no display.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QCommandLineParser parser;
        DefineOptions(parser);
        parser.parse(arguments);
        if (parser.isSet(QStringLiteral("help"))) {
            // No application object yet: the usage line names the program itself.
            std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                            QStringLiteral("kestcfg"))),
                       stdout);
            return 0;
        }
        if (parser.isSet(QStringLiteral("version"))) {
            std::printf("kestcfg %s\n", KESTCFG_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    DefineOptions(parser);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "kestcfg: unexpected argument %s (see --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    const bool demo = parser.isSet(QStringLiteral("demo"));
    const QString walk = parser.value(QStringLiteral("walk"));
    if (!walk.isEmpty() && !demo) {
        std::fputs("kestcfg: --walk goes with --demo\n", stderr);
        return 2;
    }
    const QString programDir = QCoreApplication::applicationDirPath();
    FileLocations files =
        LocateFiles(parser.value(QStringLiteral("config")), programDir,
                    programDir + QLatin1Char('/') + QStringLiteral(KESTCFG_DATA_FROM_BIN));

    std::unique_ptr<DemoCameras> cameras;
    if (demo) {
        cameras = std::make_unique<DemoCameras>();
        QString error;
        if (!cameras->Start(&error)) {
            std::fprintf(stderr, "kestcfg: the demo cannot start: %s\n", qPrintable(error));
            return 1;
        }
        // The demo keeps its settings in its own folder, unless told otherwise.
        if (!parser.isSet(QStringLiteral("config"))) {
            files.settingsFile = cameras->folder() + QStringLiteral("/Kest.ini");
        }
        std::fputs(qPrintable(cameras->Describe()), stdout);
        std::fflush(stdout);
        Global::DemoMode = true;
    }
    StartUp(files);

    frmMain_IP connect;
    QObject::connect(&connect, &frmMain_IP::programEnded, &app, &QCoreApplication::quit);
    if (demo) connect.fillAddress(cameras->address(0));
    connect.show();
    if (!walk.isEmpty()) return DemoWalk(connect, *cameras, walk);
    return app.exec();
}

}  // namespace kestcfg
