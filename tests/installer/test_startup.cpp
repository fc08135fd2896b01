// Start-up, the question, the one outcome message, the header check and
// finding the own file.
#include "platform/win32.h"
#include "tests/installer/installer_test.h"

namespace {

const Bytes MAIN = sample_bytes(3000, 1);
const Bytes SECOND = sample_bytes(700, 2);

class StartupTest : public InstallerTest {};

TEST_F(StartupTest, UnfilledStubReportsThatItHoldsNothing) {
  run_installer(stand_in_stub(), nullptr);

  ASSERT_EQ(sim().message_boxes.size(), 1u);
  EXPECT_EQ(sim().message_boxes[0].text, "This installer holds no screen saver.");
  EXPECT_EQ(sim().message_boxes[0].caption, "Kestrune");
  EXPECT_EQ(sim().message_boxes[0].style, MB_OK);
  EXPECT_TRUE(sim().create_files.empty());
  ASSERT_EQ(sim().init_common_controls.size(), 1u);
  EXPECT_EQ(sim().init_common_controls[0], std::make_pair(DWORD(8), DWORD(ICC_PROGRESS_CLASS)));
}

TEST_F(StartupTest, HeaderMismatchInstallsNothingAndShowsOnlyItsOwnText) {
  for (std::string bad_header : {"Damaged installer.", ""}) {
    sim_reset();
    TestPackage p = stored_package(MAIN, SECOND);
    p.set_text(OFFSET_BAD_HEADER_TEXT, bad_header);
    p.set_word(OFFSET_RESERVED_16, 0x100);  // covered by the check
    run_installer(p);
    EXPECT_TRUE(sim().create_files.empty());
    EXPECT_EQ(box_texts(), bad_header.empty() ? Texts{} : Texts{bad_header});
  }
}

// Two names that are one file under Windows: the second file would be
// written over the first, and perhaps registered. Refused like a damaged
// record, before anything is written.
TEST_F(StartupTest, ARecordThatNamesOneFileTwiceIsRefusedAsDamaged) {
  const Bytes extra = sample_bytes(50, 3);
  struct Case {
    int32_t slot;
    const char *name;
  } cases[] = {{OFFSET_SECOND_FILE_NAME, "saver.scr"}, {OFFSET_EXTRA_FILE_NAME, "Saver.Scr"}};
  for (const Case &c : cases) {
    sim_reset();
    TestPackage p = stored_package(MAIN, SECOND, &extra);
    p.set_text(OFFSET_BAD_HEADER_TEXT, "Damaged installer.");
    p.set_text(c.slot, c.name);
    EXPECT_EQ(run_installer(p), 1) << c.name;
    EXPECT_TRUE(sim().create_files.empty()) << c.name;
    EXPECT_EQ(box_texts(), Texts{"Damaged installer."});
  }
}

TEST_F(StartupTest, QuestionDecidesWhetherToInstall) {
  struct Case {
    int answer;
    bool installs;
  } cases[] = {{IDYES, true}, {IDNO, false}, {0 /* the box failed */, false}};
  for (const Case &c : cases) {
    sim_reset();
    sim().message_box_answers = {c.answer};
    HWND other = sim_add_window("Editor");
    TestPackage p = stored_package(MAIN, SECOND);
    p.set_text(OFFSET_CONFIRM_TEXT, "Install the saver?");
    p.set_text(OFFSET_DONE_TEXT, "Done.");
    run_installer(p);

    ASSERT_GE(sim().message_boxes.size(), 1u);
    EXPECT_EQ(sim().message_boxes[0].text, "Install the saver?");
    EXPECT_EQ(sim().message_boxes[0].style, MB_YESNO);
    EXPECT_EQ(sim_file_exists(in_windows("SAVER.SCR")), c.installs);
    // The question does not use up the one message.
    EXPECT_EQ(box_texts(), c.installs ? (Texts{"Install the saver?", "Done."}) : Texts{"Install the saver?"});
    EXPECT_EQ(sim().foreground, other) << "the foreground is handed back in every case";
  }
}

TEST_F(StartupTest, SilentModeAsksTheQuestionButShowsNoOutcome) {
  for (bool fail : {false, true}) {
    sim_reset();
    TestPackage p = stored_package(MAIN, SECOND);
    p.set_word(OFFSET_FLAGS, FLAG_SILENT);
    p.set_text(OFFSET_CONFIRM_TEXT, "Sure?");
    p.set_text(OFFSET_DONE_TEXT, "Done.");
    if (fail) p.set_text(OFFSET_MAIN_FILE_NAME, "..");
    run_installer(p);
    EXPECT_EQ(box_texts(), Texts{"Sure?"});
    EXPECT_EQ(sim_file_exists(in_windows("SAVER.DAT")), !fail);
  }
}

TEST_F(StartupTest, OneOutcomeMessagePerRun) {
  // Success with and without done_text.
  TestPackage p = stored_package(MAIN, SECOND);
  p.set_text(OFFSET_DONE_TEXT, "Saver installed.");
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{"Saver installed."});
  EXPECT_EQ(sim().message_boxes[0].caption, "Kestrune");

  sim_reset();
  p = stored_package(MAIN, SECOND);
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{});

  // Failure shows failure_text once, even when it is empty.
  sim_reset();
  p = stored_package(MAIN, SECOND);
  p.set_text(OFFSET_FAILURE_TEXT, "");
  p.set_text(OFFSET_DONE_TEXT, "Saver installed.");
  sim().unopenable.insert(sim_lower(in_windows("SAVER.DAT")));
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{""});
  EXPECT_TRUE(sim_file_exists(in_windows("SAVER.SCR"))) << "files already written stay";
}

TEST_F(StartupTest, ExitCodeTellsWhatHappened) {
  TestPackage p = stored_package(MAIN, SECOND);
  EXPECT_EQ(run_installer(p), 0) << "installed";

  sim_reset();
  sim().unopenable.insert(sim_lower(in_windows("SAVER.DAT")));
  EXPECT_EQ(run_installer(p), 1) << "failed";

  sim_reset();
  TestPackage damaged = p;
  damaged.set_word(OFFSET_RESERVED_16, 1);
  EXPECT_EQ(run_installer(damaged), 1) << "refused as damaged";

  sim_reset();
  sim().message_box_answers = {IDNO};
  TestPackage asks = p;
  asks.set_text(OFFSET_CONFIRM_TEXT, "Install?");
  EXPECT_EQ(run_installer(asks), 2) << "declined";
}

TEST_F(StartupTest, OwnFileIsOpenedByTheModuleNameWhateverArgv0Says) {
  // Typed as "setup" in another folder, found by the shell on the PATH; a
  // different setup.exe stands in the current folder.
  TestPackage p = stored_package(MAIN, SECOND);
  sim_write_file("C:\\WORK\\SETUP.EXE", sample_bytes(4000, 3));
  sim().current_dir = "C:\\WORK";
  sim().argv0 = "setup";
  run_installer(p);
  ASSERT_GE(sim().create_files.size(), 1u);
  EXPECT_EQ(sim().create_files[0].path, OWN_FILE);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), MAIN);
}

TEST_F(StartupTest, OwnFileIsRetriedWithExeAppended) {
  TestPackage p = stored_package(MAIN, SECOND);
  sim().module_path = "";  // the system cannot name the module
  sim().argv0 = "C:\\TEMP\\SETUP";
  run_installer(p);
  ASSERT_GE(sim().create_files.size(), 2u);
  EXPECT_EQ(sim().create_files[0].path, "C:\\TEMP\\SETUP");
  EXPECT_FALSE(sim().create_files[0].ok);
  EXPECT_EQ(sim().create_files[1].path, "C:\\TEMP\\SETUP.exe");
  EXPECT_TRUE(sim().create_files[1].ok);
  EXPECT_EQ(sim().create_files[1].access, GENERIC_READ);
  EXPECT_EQ(sim().create_files[1].share, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(sim().create_files[1].disposition, DWORD(OPEN_EXISTING));
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), MAIN);
}

TEST_F(StartupTest, OwnFileThatCannotBeFoundFailsTheInstall) {
  const std::string too_long = "C:\\TEMP\\" + std::string(300, 'x');
  for (const std::string &argv0 :
       std::vector<std::string>{"C:\\TEMP\\GONE.EXE", "C:\\TEMP\\GONE", "C:\\TEMP\\x.Exe", too_long}) {
    sim_reset();
    sim().module_path = "";
    sim().argv0 = argv0;
    TestPackage p = stored_package(MAIN, SECOND);
    run_installer(p);
    EXPECT_EQ(box_texts(), Texts{"Install failed."}) << argv0;
    EXPECT_FALSE(sim_file_exists(in_windows("SAVER.SCR")));
    ASSERT_GE(sim().create_files.size(), 1u);
    for (size_t i = 1; i < sim().create_files.size(); ++i) {
      const SimCreateFile &call = sim().create_files[i];
      EXPECT_LT(call.path.size(), 256u) << "the own-path buffer holds 256 bytes";
      EXPECT_EQ(call.path.find(".exe.exe"), std::string::npos);
      EXPECT_EQ(call.path.find(".Exe.exe"), std::string::npos) << "the extension is compared ignoring case";
    }
  }
}

}  // namespace
