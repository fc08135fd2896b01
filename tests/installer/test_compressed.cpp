// Compressed payloads: which stream goes into which file, the main file
// assembled from up to three streams, and failures part-way.
#include "platform/win32.h"
#include "tests/installer/installer_test.h"

namespace {

class CompressedTest : public InstallerTest {};

TEST_F(CompressedTest, TwoStreamsWriteMainAndSecond) {
  const Bytes main = sample_bytes(30000, 20), second = sample_bytes(500, 21);
  TestPackage p = compressed_package({main}, second);
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), main);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.DAT")), second);
  EXPECT_FALSE(sim_file_exists(in_windows("EXTRA.TXT")));
  EXPECT_EQ(box_texts(), Texts{"Done."});
}

TEST_F(CompressedTest, FiveStreamsAssembleTheMainFileInOrder) {
  // Sizes chosen so that streams end on short and on full blocks.
  const Bytes extra = sample_bytes(777, 22), p1 = sample_bytes(40000, 23), p2 = sample_bytes(10236, 24),
              p3 = sample_bytes(5, 25), second = sample_bytes(12000, 26);
  TestPackage p = compressed_package({p1, p2, p3}, second, &extra);
  run_installer(p);
  EXPECT_EQ(sim_read_file(in_windows("EXTRA.TXT")), extra);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), concat({p1, p2, p3}));
  EXPECT_EQ(sim_read_file(in_windows("SAVER.DAT")), second);
  EXPECT_TRUE(box_texts().empty());
}

TEST_F(CompressedTest, PartThreeMayFollowWithoutPartTwo) {
  const Bytes p1 = sample_bytes(3000, 27), p3 = sample_bytes(2000, 28), second = sample_bytes(10, 29);
  TestPackage p = compressed_package({p1, {}, p3}, second);
  ASSERT_EQ(p.word(OFFSET_MAIN_PART2_SIZE), 0u);
  run_installer(p);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), concat({p1, p3}));
  EXPECT_EQ(sim_read_file(in_windows("SAVER.DAT")), second);
}

TEST_F(CompressedTest, DamagedPartTwoRemovesTheCutMainFileAndKeepsTheFilesBefore) {
  const Bytes extra = sample_bytes(700, 29), p1 = sample_bytes(25000, 30), p2 = sample_bytes(30000, 31),
              second = sample_bytes(100, 32);
  const size_t before_part2 = compress(extra).size() + compress(p1).size();
  TestPackage p = compressed_package({p1, p2}, second, &extra);
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  p.image[p.payload_offset() + before_part2 + 10240 + 100] ^= 0x40;  // a data byte of part 2's second block
  run_installer(p);
  EXPECT_EQ(sim_read_file(in_windows("EXTRA.TXT")), extra) << "a complete file stays";
  EXPECT_FALSE(sim_file_exists(in_windows("SAVER.SCR"))) << "the main file, cut inside part 2, is gone";
  EXPECT_EQ(sim().deleted_files, std::vector<std::string>{in_windows("SAVER.SCR")});
  EXPECT_FALSE(sim_file_exists(in_windows("SAVER.DAT")));
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
  EXPECT_EQ(sim_profile_string(in_windows("system.ini"), "boot", "SCRNSAVE.EXE"), "");
}

TEST_F(CompressedTest, UnwritableSecondFileFailsAfterTheMainFile) {
  const Bytes main = sample_bytes(5000, 33);
  TestPackage p = compressed_package({main}, sample_bytes(10, 34));
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  sim().unopenable.insert(sim_lower(in_windows("SAVER.DAT")));
  run_installer(p);
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), main);
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
}

TEST_F(CompressedTest, UncreatableMainFileReadsNoFurtherStream) {
  TestPackage p = compressed_package({sample_bytes(5000, 39), sample_bytes(5000, 40)}, sample_bytes(10, 41));
  sim().unopenable.insert(sim_lower(in_windows("SAVER.SCR")));
  run_installer(p);
  EXPECT_FALSE(sim_file_exists(in_windows("SAVER.DAT")));
  EXPECT_EQ(sim().read_requests.size(), 0u) << "no stream is decoded without its file";
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
}

TEST_F(CompressedTest, PayloadEndingEarlyFailsTheInstall) {
  TestPackage p = compressed_package({sample_bytes(5000, 35)}, sample_bytes(3000, 36));
  p.image.resize(p.image.size() - 20);
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
}

TEST_F(CompressedTest, FullDiskFailsTheInstall) {
  TestPackage p = compressed_package({sample_bytes(30000, 37)}, sample_bytes(10, 38));
  sim().disk_space = 15000;
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);
  EXPECT_EQ(box_texts(), Texts{"Install failed."});
  EXPECT_FALSE(sim_file_exists(in_windows("SAVER.DAT")));
}

}  // namespace
