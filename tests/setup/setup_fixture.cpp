#include "tests/setup/setup_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QWidget>
#include <cstring>
#include <mutex>

#include "control/protocol/commands.h"
#include "platform/profile.h"
#include "setup/Common_Function.h"
#include "setup/Global.h"
#include "setup/SetUpMain_Function.h"
#include "setup/demo/UiDriver.h"
#include "sim/loopback_address.h"
#include "sim/services.h"

namespace kestcfg::test {

std::unique_ptr<kest::sim::Simulator> StartCamera(int model, int program_version,
                                                  const QString& super_password) {
    kest::sim::SimConfig config;
    config.bind_address = kest::sim::FreeLoopbackAddress(4000);
    config.port = 4000;
    config.model_code = model;
    config.program_version = program_version;
    auto camera = std::make_unique<kest::sim::Simulator>(config);
    EXPECT_FALSE(config.bind_address.empty());
    EXPECT_TRUE(camera->Start()) << config.bind_address;
    if (!super_password.isNull()) {
        std::lock_guard lock(camera->state_mutex());
        auto& password = camera->State<kest::sim::IdentityState>().passwords[2];
        password.block.fill(' ');
        const QByteArray bytes = super_password.toLatin1().left(8);
        std::memcpy(password.block.data(), bytes.constData(), size_t(bytes.size()));
        password.enabled = true;
    }
    return camera;
}

uint16_t CommandCode(const char* name) {
    for (const kest::protocol::CommandInfo& row : kest::protocol::CommandTable()) {
        if (row.name == name) return row.code;
    }
    ADD_FAILURE() << "no command " << name;
    return 0;
}

std::vector<std::string> PasswordBlocks(const kest::sim::Simulator& camera, uint16_t code) {
    std::vector<std::string> blocks;
    for (const kest::sim::Datagram& d : camera.Received()) {
        if (d.code() == code && d.bytes.size() >= 12) {
            blocks.emplace_back(reinterpret_cast<const char*>(&d.bytes[4]), 8);
        }
    }
    return blocks;
}

QString Lang(const QString& section, const QString& key) {
    const std::string value = kest::platform::GetProfileString(
        KESTCFG_LANGUAGE_FILE, section.toStdString(), key.toStdString(), "");
    return QString::fromUtf8(value.c_str());
}

QString PictureFolder() {
    return QStringLiteral(KESTCFG_TEST_PICTURES);
}

void SetupTest::SetUp() {
    ASSERT_TRUE(folder_.isValid());
    QDir(folder_.path()).mkpath(QStringLiteral("localize"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTCFG_LANGUAGE_FILE),
                            folder_.filePath(QStringLiteral("localize/Kest.ini"))));
    // Short waits, so a silent camera costs little.
    kest::platform::WriteProfileString(settings_path().toStdString(), "SetUpTool", "Timeout",
                                       "200");
    Global::Reset();
    StartUp(LocateFiles(folder_.path(), QString(), QString()));
    MessageService::setUnattended(true);
    ForgetLanguageKeysRead();
}

void SetupTest::TearDown() {
    // Every text a form asked for is in the language file.
    for (const QString& entry : LanguageKeysRead()) {
        const qsizetype slash = entry.lastIndexOf(QLatin1Char('/'));
        EXPECT_FALSE(Lang(entry.left(slash), entry.mid(slash + 1)).isEmpty())
            << "missing from the language file: " << entry.toStdString();
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
    MessageService::setUnattended(false);
    MessageService::setUnattended(true);
    QApplication::processEvents();
}

std::vector<int> SetupTest::TakeMessages() {
    std::vector<int> numbers;
    for (const ShownMessage& m : MessageService::takeShown())
        numbers.push_back(m.spec.number);
    return numbers;
}

QString SetupTest::settings_path() const {
    return folder_.filePath(QStringLiteral("Kest.ini"));
}

}  // namespace kestcfg::test
