// Stored payloads and the output files every mode shares: chunking, the
// Windows directory, the Display Properties retry, and the faults a stored
// install must not turn into a reported success.
#include <string.h>

#include "codec/common/byte_order.h"
#include "platform/win32.h"
#include "tests/installer/installer_test.h"

namespace {

class StoredTest : public InstallerTest {};

std::vector<DWORD> own_file_reads() {
  // Every ReadFile of a stored install reads the own file.
  return sim().read_requests;
}

TEST_F(StoredTest, CopiesEachFileInChunksOf16384) {
  const Bytes extra = sample_bytes(16384, 3), main = sample_bytes(16385, 4), second;
  TestPackage p = stored_package(main, second, &extra);
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);

  EXPECT_EQ(sim_read_file(in_windows("EXTRA.TXT")), extra);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), main);
  EXPECT_TRUE(sim_file_exists(in_windows("SAVER.DAT")));
  EXPECT_TRUE(sim_read_file(in_windows("SAVER.DAT")).empty());
  EXPECT_EQ(own_file_reads(), (std::vector<DWORD>{16384, 16384, 1})) << "an empty file reads nothing";
  EXPECT_EQ(box_texts(), Texts{"Done."});
  for (const SimCreateFile &call : sim().create_files) {
    if (call.access != GENERIC_WRITE) continue;
    EXPECT_EQ(call.share, 0u);
    EXPECT_EQ(call.disposition, DWORD(CREATE_ALWAYS));
    EXPECT_EQ(call.attributes, FILE_ATTRIBUTE_NORMAL);
  }
}

// A package written out by hand from the documented layout and keys
// (docs/package-format.md), not by the package library: if the builder and
// the installer ever agreed on a wrong key or order, this still tells.
TEST_F(StoredTest, InstallsAPackageWrittenOutByHand) {
  const Bytes extra = sample_bytes(300, 7), main = sample_bytes(5000, 8), second = sample_bytes(700, 9);
  Bytes image = stand_in_stub(1024, 100);
  const size_t record = 1024, payload = image.size();
  uint8_t plain[640] = {};
  auto word = [&plain](int at, uint32_t value) { write_le32(plain + at, value); };
  word(4, static_cast<uint32_t>(payload));  // payload_offset
  word(8, static_cast<uint32_t>(main.size()));
  word(12, static_cast<uint32_t>(second.size()));
  word(20, static_cast<uint32_t>(payload ^ main.size() ^ second.size()));  // header_check
  word(24, static_cast<uint32_t>(extra.size()));
  const char *names[] = {"MAIN.SCR", "SECOND.TXT", "EXTRA.DAT"};  // at 64, 128 and 192
  for (int i = 0; i < 3; ++i) memcpy(plain + 64 + 64 * i, names[i], strlen(names[i]));
  memcpy(plain + 320, "Done.", 5);
  memcpy(plain + 576, "Kestrune install record", 23);
  for (int i = 0; i < 640; ++i) image[record + i] = plain[i] ^ 0xA7;
  // Stored files back to back, extra first, each byte scrambled with its key.
  const std::pair<const Bytes *, uint8_t> files[] = {{&extra, 0x3C}, {&main, 0x95}, {&second, 0x6E}};
  for (const auto &file : files)
    for (uint8_t byte : *file.first) image.push_back(byte ^ file.second);
  run_installer(image, image.data() + record);
  EXPECT_EQ(sim_read_file(in_windows("MAIN.SCR")), main);
  EXPECT_EQ(sim_read_file(in_windows("SECOND.TXT")), second);
  EXPECT_EQ(sim_read_file(in_windows("EXTRA.DAT")), extra);
  EXPECT_EQ(box_texts(), Texts{"Done."});
}

TEST_F(StoredTest, NoExtraSizeMeansNoExtraFile) {
  TestPackage p = stored_package(sample_bytes(10, 5), sample_bytes(20, 6));
  p.set_text(OFFSET_EXTRA_FILE_NAME, "..");  // never looked at
  run_installer(p);
  EXPECT_FALSE(sim_file_exists(in_windows("EXTRA.TXT")));
  EXPECT_EQ(sim_read_file(in_windows("SAVER.DAT")), sample_bytes(20, 6));
  EXPECT_TRUE(box_texts().empty());
}

TEST_F(StoredTest, WindowsDirectoryVariants) {
  struct Case {
    std::string dir;
    bool fails;
    std::string expected_main;
  } cases[] = {
      {"C:\\", false, "C:\\SAVER.SCR"},
      {"D:\\WIN", false, "D:\\WIN\\SAVER.SCR"},
      {"C:\\IGNORED", true, "c:\\win95\\SAVER.SCR"},
  };
  for (const Case &c : cases) {
    sim_reset();
    sim().windows_dir = c.dir;
    sim().windows_dir_fails = c.fails;
    sim_make_dir(c.dir);
    sim_make_dir("c:\\win95");
    TestPackage p = stored_package(sample_bytes(50, 7), {});
    run_installer(p);
    EXPECT_EQ(sim_read_file(c.expected_main), sample_bytes(50, 7)) << c.dir;
    EXPECT_EQ(creations_of(c.expected_main), 1) << c.dir;
  }
}

TEST_F(StoredTest, DisplayPropertiesIsAskedToLetGoOnceThenCreationIsRetried) {
  HWND display = sim_add_window("Display Properties");
  sim().locked[sim_lower(in_windows("SAVER.SCR"))] = display;
  TestPackage p = stored_package(sample_bytes(100, 8), sample_bytes(10, 9));
  run_installer(p);

  EXPECT_EQ(creations_of(in_windows("SAVER.SCR")), 2);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), sample_bytes(100, 8));
  EXPECT_EQ(sim().sleeps, std::vector<DWORD>{1000});
  ASSERT_GE(sim().posts.size(), 1u);
  EXPECT_EQ(sim().posts[0].window, display);
  EXPECT_EQ(sim().posts[0].message, UINT(WM_QUIT));
  EXPECT_TRUE(box_texts().empty());
}

TEST_F(StoredTest, UncreatableFileFailsAfterAtMostOneRetry) {
  for (bool window_open : {false, true}) {
    sim_reset();
    if (window_open) sim_add_window("Display Properties");
    sim().unopenable.insert(sim_lower(in_windows("SAVER.SCR")));
    TestPackage p = stored_package(sample_bytes(100, 8), sample_bytes(10, 9));
    run_installer(p);
    EXPECT_EQ(creations_of(in_windows("SAVER.SCR")), window_open ? 2 : 1);
    EXPECT_EQ(sim().sleeps, window_open ? std::vector<DWORD>{1000} : std::vector<DWORD>{});
    EXPECT_FALSE(sim_file_exists(in_windows("SAVER.DAT"))) << "later files are skipped";
    EXPECT_EQ(box_texts(), Texts{"Install failed."});
    EXPECT_EQ(sim_profile_string(in_windows("system.ini"), "boot", "SCRNSAVE.EXE"), "");
  }
}

TEST_F(StoredTest, NamesThatAreNotPlainAreNeverCreated) {
  for (std::string name : {"", ".", "..", "..\\ESCAPE.SCR", "SUB/ESCAPE.SCR", "C:ESCAPE.SCR", "NUL.SCR", "com1.txt"}) {
    sim_reset();
    TestPackage p = stored_package(sample_bytes(10, 10), sample_bytes(10, 11));
    p.set_text(OFFSET_MAIN_FILE_NAME, name);
    run_installer(p);
    EXPECT_EQ(box_texts(), Texts{"Install failed."}) << name;
    EXPECT_FALSE(sim_file_exists("C:\\ESCAPE.SCR"));
    for (const SimCreateFile &call : sim().create_files)
      EXPECT_NE(call.access, GENERIC_WRITE) << "nothing is created for '" << name << "'";
  }
}

TEST_F(StoredTest, InstallerNeverOverwritesItself) {
  sim().windows_dir = "C:\\TEMP";  // the installer runs from the Windows directory
  TestPackage p = stored_package(sample_bytes(10, 18), {});
  p.set_text(OFFSET_MAIN_FILE_NAME, "setup.exe");
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
  EXPECT_EQ(sim_read_file(OWN_FILE), p.image);
}

TEST_F(StoredTest, PathsThatDoNotFitFailInsteadOfOverflowing) {
  // 250 + '\' + 9 + zero = 261 bytes: one too many for the path buffer.
  sim().windows_dir = "C:\\" + std::string(247, 'W');
  TestPackage p = stored_package(sample_bytes(10, 12), {});
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
  for (const SimCreateFile &call : sim().create_files) EXPECT_NE(call.access, GENERIC_WRITE);

  // A directory the system reports as too long for the buffer at all.
  sim_reset();
  sim().windows_dir = "C:\\" + std::string(300, 'W');
  p = stored_package(sample_bytes(10, 12), {});
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
}

TEST_F(StoredTest, InstallerCutShortFailsAndLeavesNoCutFile) {
  const Bytes main = sample_bytes(20000, 13);
  TestPackage p = stored_package(main, sample_bytes(10, 14));
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  sim_write_file(in_windows("SAVER.SCR"), sample_bytes(5000, 99));  // an earlier install's saver
  p.image.resize(p.payload_offset() + 17000);                       // a download that stopped inside the main file
  run_installer(p);
  EXPECT_FALSE(sim_file_exists(in_windows("SAVER.SCR"))) << "no file cut at 17000 of 20000 bytes";
  EXPECT_FALSE(sim_file_exists(in_windows("SAVER.DAT")));
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
}

TEST_F(StoredTest, TextSlotWithoutTerminatorIsReadAsItsFirst63Characters) {
  TestPackage p = stored_package(sample_bytes(10, 17), {});
  p.set_text(OFFSET_DONE_TEXT, std::string(64, 'D'));
  p.set_text(OFFSET_FAILURE_TEXT, "next slot");
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{std::string(63, 'D')});
}

}  // namespace
