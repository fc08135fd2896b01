// Registering the screen saver (the short-name scan included) and handing
// the foreground back.
#include "installer/hand_back.h"
#include "installer/registration.h"
#include "platform/win32.h"
#include "tests/installer/installer_test.h"

namespace {

class RegistrationTest : public InstallerTest {};

TEST_F(RegistrationTest, SuccessfulInstallRegistersAndActivatesTheSaver) {
  const std::string ini = "[boot]\r\nshell=x\r\nSCRNSAVE.EXE=C:\\OLD.SCR\r\n[other]\r\nSCRNSAVE.EXE=keep\r\n";
  sim_write_file(in_windows("system.ini"), Bytes(ini.begin(), ini.end()));
  HWND display = sim_add_window("Display Properties");
  TestPackage p = stored_package(sample_bytes(10, 40), {});
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);

  EXPECT_EQ(sim_profile_string(in_windows("system.ini"), "boot", "SCRNSAVE.EXE"), "C:\\WINDOWS\\SAVER.SCR");
  EXPECT_EQ(sim_profile_string(in_windows("system.ini"), "boot", "shell"), "x");
  EXPECT_EQ(sim_profile_string(in_windows("system.ini"), "other", "SCRNSAVE.EXE"), "keep");
  ASSERT_EQ(sim().system_parameters.size(), 1u);
  EXPECT_EQ(sim().system_parameters[0].action, UINT(SPI_SETSCREENSAVEACTIVE));
  EXPECT_EQ(sim().system_parameters[0].param, 1u);
  EXPECT_EQ(sim().system_parameters[0].data, nullptr);
  EXPECT_EQ(sim().system_parameters[0].win_ini, UINT(SPIF_UPDATEINIFILE));
  ASSERT_EQ(sim().posts.size(), 1u);
  EXPECT_EQ(sim().posts[0].window, display);
  EXPECT_EQ(sim().posts[0].message, UINT(WM_QUIT));
  EXPECT_EQ(box_texts(), Texts{"Done."});
  EXPECT_TRUE(sim().find_first_files.empty()) << "an 8.3 name needs no search";
}

TEST_F(RegistrationTest, AFailedRegistrationIsAFailedInstall) {
  // The registration's two calls are the last two that can fail in a run.
  TestPackage p = stored_package(sample_bytes(10, 42), {});
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);
  const int calls = sim().fault_calls;
  for (const char *call : {"WritePrivateProfileStringA", "SystemParametersInfoA"}) {
    sim_reset();
    sim().fail_call = std::string(call) == "SystemParametersInfoA" ? calls : calls - 1;
    EXPECT_EQ(run_installer(p), 1) << call;
    EXPECT_EQ(sim().failed_call, call);
    EXPECT_EQ(box_texts(), Texts{"Install failed."}) << "not done_text, for " << call;
    EXPECT_TRUE(sim_file_exists(in_windows("SAVER.SCR"))) << "the files were complete";
  }
}

TEST_F(RegistrationTest, LongNameIsRegisteredByItsAlternateName) {
  sim().alternate_names[sim_lower(in_windows("My Lovely Saver.scr"))] = "MYLOVE~1.SCR";
  TestPackage p = stored_package(sample_bytes(10, 41), {});
  p.set_text(OFFSET_MAIN_FILE_NAME, "My Lovely Saver.scr");
  run_installer(p);
  EXPECT_EQ(sim_profile_string(in_windows("system.ini"), "boot", "SCRNSAVE.EXE"), "C:\\WINDOWS\\MYLOVE~1.SCR");
  EXPECT_EQ(sim().find_first_files, std::vector<std::string>{in_windows("My Lovely Saver.scr")});
  EXPECT_EQ(sim().find_closes, 1);
}

TEST_F(RegistrationTest, ShortNameScan) {
  fresh_process(nullptr);
  struct Case {
    std::string name;
    bool searched;
  } cases[] = {
      {"SAVER.SCR", false},   {"ABCDEFGH", false},     {"A_1.B_2", false},  {"AB~1", false},
      {"AB:1", false},        {"ABCDEFGH.XYZ", false}, {"ABCDEFGHI", true}, {"ABCD.EFGH", true},
      {"MY SAVER.SCR", true}, {"MY-SAVER.SCR", true},  {"A.B.C", true},     {"SAVER.SC!", true},
      {"SAV\xC9R.SCR", true}, {"AB~1.SCR", true},
  };
  for (const Case &c : cases) {
    sim().find_first_files.clear();
    sim_write_file(in_windows(c.name), {});
    // A colon never makes a plain file name, so no path is built for it.
    const std::string expected = c.name.find(':') == std::string::npos ? in_windows(c.name) : "";
    EXPECT_EQ(std::string(short_install_path(c.name.c_str())), expected) << c.name;
    EXPECT_EQ(!sim().find_first_files.empty(), c.searched) << c.name;
  }
}

TEST_F(RegistrationTest, ShortPathFallsBackToTheLongPath) {
  fresh_process(nullptr);
  // The search finds nothing.
  EXPECT_EQ(std::string(short_install_path("MISSING FILE.SCR")), in_windows("MISSING FILE.SCR"));
  EXPECT_EQ(sim().find_closes, 0);
  // The search finds the file with an alternate name.
  sim_write_file(in_windows("LONGERNAME.SCR"), {});
  sim().alternate_names[sim_lower(in_windows("LONGERNAME.SCR"))] = "LONGER~1.SCR";
  EXPECT_EQ(std::string(short_install_path("LONGERNAME.SCR")), in_windows("LONGER~1.SCR"));
  EXPECT_EQ(sim().find_closes, 1);
}

// ---- Hand-back -----------------------------------------------------------

class HandBackTest : public InstallerTest {};

TEST_F(HandBackTest, SkipsWindowsThatCannotTakeTheForeground) {
  sim_add_window("Minimised", true, true);
  sim_add_window("Hidden", false);
  sim_add_window("");
  HWND owner = sim_add_window("Owner", false);
  sim_add_window("Owned tool window", true, false, owner);
  hand_back_foreground(nullptr);
  EXPECT_TRUE(sim().foreground_calls.empty());

  HWND dead = sim_add_window("Closed");
  sim_window(dead)->alive = false;
  HWND good = sim_add_window("Editor");
  hand_back_foreground(nullptr);
  EXPECT_EQ(sim().foreground_calls, std::vector<HWND>{good});
}

TEST_F(HandBackTest, OwnedDisplayPropertiesQualifies) {
  HWND owner = sim_add_window("Control Panel", false);
  HWND display = sim_add_window("Display Properties", true, false, owner);
  sim_add_window("Editor");
  hand_back_foreground(nullptr);
  EXPECT_EQ(sim().foreground_calls, std::vector<HWND>{display});
}

TEST_F(HandBackTest, ExaminesAtMost32Candidates) {
  for (int i = 0; i < 31; ++i) sim_add_window("");
  HWND last = sim_add_window("Editor");  // the 32nd candidate
  hand_back_foreground(nullptr);
  EXPECT_EQ(sim().foreground_calls, std::vector<HWND>{last});

  sim_reset();
  for (int i = 0; i < 32; ++i) sim_add_window("");
  sim_add_window("Editor");  // the 33rd
  hand_back_foreground(nullptr);
  EXPECT_TRUE(sim().foreground_calls.empty());
}

TEST_F(HandBackTest, EndOfTheListCountsAndStartsAgainFromTheTop) {
  HWND top = sim_add_window("Editor");
  sim_add_window("");
  hand_back_foreground(top);  // candidates: "", end of list, then the top
  EXPECT_EQ(sim().foreground_calls, std::vector<HWND>{top});
}

}  // namespace
