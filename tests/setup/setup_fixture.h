// The setup tool's tests: forms driven offscreen by object name against
// simulated cameras in this process, message boxes answered through the
// tool's seam, texts from the language file the tool installs.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "setup/MessageService.h"
#include "sim/simulator.h"

namespace kestcfg::test {

// A simulated camera on the cameras' port 4000 at a loopback address of its
// own (the tool reaches cameras by address alone).
std::unique_ptr<kest::sim::Simulator> StartCamera(int model, int program_version = 20,
                                                  const QString& super_password = QString());

// The password blocks (bytes 4 to 11) of every request with command code.
std::vector<std::string> PasswordBlocks(const kest::sim::Simulator& camera, uint16_t code);
uint16_t CommandCode(const char* name);

// The language file the tool ships; tests read their expectations from it.
QString Lang(const QString& section, const QString& key);

// Where the tests save a picture of each form.
QString PictureFolder();

class SetupTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The numbers of the message boxes shown since the last call.
    std::vector<int> TakeMessages();
    QString settings_path() const;

    QTemporaryDir folder_;
};

}  // namespace kestcfg::test
