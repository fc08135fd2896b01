// Shared fixture: every test starts in a fresh simulated world and must
// leave no file handle open behind the installer.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/install_harness.h"
#include "win32sim/sim.h"

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { sim_reset(); }
  void TearDown() override { EXPECT_EQ(sim_open_handles(), 0) << "a handle was left open"; }

  static std::vector<std::string> box_texts() {
    std::vector<std::string> texts;
    for (const SimMessageBox &box : sim().message_boxes) texts.push_back(box.text);
    return texts;
  }
  static int creations_of(const std::string &path) {
    int n = 0;
    for (const SimCreateFile &call : sim().create_files) n += sim_lower(call.path) == sim_lower(path);
    return n;
  }
};

using Texts = std::vector<std::string>;
