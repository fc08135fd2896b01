// The progress dialog around a compressed install, and the message pump the
// stream driver calls.
#include "codec/common/stream_io.h"
#include "platform/win32.h"
#include "tests/installer/installer_test.h"
#include "ui/resource_ids.h"

namespace {

class ProgressTest : public InstallerTest {
 protected:
  static TestPackage dialog_package(const Bytes &main, uint32_t flags = FLAG_COMPRESSED) {
    TestPackage p = compressed_package({main}, sample_bytes(100, 50));
    p.set_word(OFFSET_FLAGS, flags);
    p.set_text(OFFSET_DIALOG_TEXT, "Unpacking the saver...");
    return p;
  }
  static int own_file_opens() { return InstallerTest::creations_of(OWN_FILE); }
};

TEST_F(ProgressTest, DialogOnlyWithCompressionDialogTextAndNoSilence) {
  struct Case {
    uint32_t flags;
    std::string dialog_text;
    bool dialog;
  } cases[] = {
      {FLAG_COMPRESSED, "Unpacking...", true},
      {FLAG_COMPRESSED, "", false},
      {FLAG_COMPRESSED | FLAG_SILENT, "Unpacking...", false},
      {0, "Unpacking...", false},
  };
  for (const Case &c : cases) {
    sim_reset();
    TestPackage p = (c.flags & FLAG_COMPRESSED) ? compressed_package({sample_bytes(2000, 51)}, {})
                                                : stored_package(sample_bytes(2000, 51), {});
    p.set_word(OFFSET_FLAGS, c.flags);
    p.set_text(OFFSET_DIALOG_TEXT, c.dialog_text);
    run_installer(p);
    EXPECT_EQ(sim().dialogs_opened, c.dialog ? 1 : 0) << c.flags << " '" << c.dialog_text << "'";
    EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), sample_bytes(2000, 51));
    EXPECT_FALSE(sim().dialog_stalled);
  }
}

TEST_F(ProgressTest, DialogIsCentredLabelledAndEndedBeforeTheMessage) {
  const Bytes main = sample_bytes(60000, 52);
  TestPackage p = dialog_package(main);
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);

  EXPECT_EQ(sim().dialog_template, MAKEINTRESOURCEA(IDD_PROGRESS));
  ASSERT_EQ(sim().moves.size(), 1u);
  EXPECT_EQ(sim().moves[0].left, (1024 - 210) / 2);
  EXPECT_EQ(sim().moves[0].top, (768 - 54) / 2);
  EXPECT_EQ(sim().moves[0].right, 210);
  EXPECT_EQ(sim().moves[0].bottom, 54);
  EXPECT_EQ(sim().progress_text, "Unpacking the saver...");
  EXPECT_EQ(sim().progress_max, int(60100 / 1024));
  ASSERT_FALSE(sim().progress_positions.empty());
  EXPECT_EQ(sim().progress_positions.back(), int(60100 / 1024));
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), main);

  ASSERT_EQ(sim().message_boxes.size(), 1u);
  EXPECT_FALSE(sim().message_boxes[0].dialog_open);
  EXPECT_EQ(sim().end_dialogs, 1) << "ending twice ends the dialog once";
  ASSERT_FALSE(sim().foreground_calls.empty());
  EXPECT_EQ(sim().foreground_calls[0], sim().dialog) << "brought forward before it ends";
  EXPECT_FALSE(sim().dialog_stalled);
}

TEST_F(ProgressTest, RangeCountsKibOfAllFiveSizesInSixteenBits) {
  // In compressed mode the size words only feed the bar (and flag presence).
  TestPackage p =
      compressed_package({sample_bytes(100, 53), sample_bytes(100, 54), sample_bytes(100, 55)}, sample_bytes(100, 56));
  p.set_text(OFFSET_DIALOG_TEXT, "Unpacking...");
  p.set_word(OFFSET_MAIN_SIZE, 49152);
  p.set_word(OFFSET_MAIN_PART2_SIZE, 18708);
  p.set_word(OFFSET_MAIN_PART3_SIZE, 18708);
  p.set_word(OFFSET_SECOND_SIZE, 2979040);
  p.fix_header_check();
  run_installer(p);
  EXPECT_EQ(sim().progress_min, 0);
  EXPECT_EQ(sim().progress_max, 2993);
  EXPECT_EQ(sim().progress_positions.back(), 0) << "400 bytes written in all";

  // Past 64 MiB the bar counts larger units, so that its range fits 16 bits;
  // past 4 GiB the sum must not wrap.
  struct Big {
    uint32_t main, part2, part3, second, extra;
    int range;
  } bigs[] = {{67108864, 0, 0, 0, 0, 32768}, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 40959}};
  for (const Big &big : bigs) {
    sim_reset();
    const Bytes extra = sample_bytes(100, 57);
    p = compressed_package({sample_bytes(100, 53), sample_bytes(100, 54), sample_bytes(100, 55)}, sample_bytes(100, 56),
                           &extra);
    p.set_text(OFFSET_DIALOG_TEXT, "Unpacking...");
    const uint32_t words[] = {big.main, big.part2, big.part3, big.second, big.extra};
    const int32_t offsets[] = {OFFSET_MAIN_SIZE, OFFSET_MAIN_PART2_SIZE, OFFSET_MAIN_PART3_SIZE, OFFSET_SECOND_SIZE,
                               OFFSET_EXTRA_SIZE};
    for (int i = 0; i < 5; ++i)
      if (words[i]) p.set_word(offsets[i], words[i]);
    p.fix_header_check();
    run_installer(p);
    EXPECT_EQ(sim().progress_max, big.range) << big.main;
  }
}

TEST_F(ProgressTest, FailedDialogCreationInstallsNothingAndSaysNothing) {
  sim().fail_dialog_creation = true;
  TestPackage p = dialog_package(sample_bytes(1000, 54));
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);
  EXPECT_EQ(own_file_opens(), 0);
  EXPECT_TRUE(box_texts().empty());
}

TEST_F(ProgressTest, ADialogThatIsNeverPaintedStartsOnItsTimer) {
  sim().dialog_initial_paints = 0;  // started minimised or hidden
  TestPackage p = dialog_package(sample_bytes(1000, 56));
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  run_installer(p);
  EXPECT_EQ(sim().timer_periods, std::vector<UINT>{500});
  EXPECT_FALSE(sim().dialog_stalled);
  EXPECT_EQ(own_file_opens(), 1);
  EXPECT_EQ(box_texts(), Texts{"Done."});
  EXPECT_TRUE(sim().timers.empty()) << "the timer stops when the install starts";
}

TEST_F(ProgressTest, InstallStartsOnceHoweverManyPaints) {
  sim().dialog_initial_paints = 5;
  TestPackage p = dialog_package(sample_bytes(400000, 55));
  p.set_text(OFFSET_DONE_TEXT, "Done.");
  int injected = 0;
  sim().on_peek = [&] {
    // Keep the dialog invalid while the install pumps.
    if (sim().dialog && injected < 50) {
      ++injected;
      PostMessageA(sim().dialog, WM_PAINT, 0, 0);
    }
  };
  run_installer(p);
  sim().on_peek = nullptr;
  EXPECT_GT(injected, 5) << "the install pumped while it ran";
  EXPECT_EQ(own_file_opens(), 1);
  EXPECT_EQ(box_texts(), Texts{"Done."});
  EXPECT_EQ(sim_read_file(in_windows("SAVER.SCR")), sample_bytes(400000, 55));
}

// ---- The pump on its own -------------------------------------------------

class PumpTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    fresh_process(nullptr);
    target = sim_add_window("queue owner");
    sim_window(target)->ours = true;
  }
  void post(UINT message) {
    MSG msg = {};
    msg.hwnd = target;
    msg.message = message;
    sim().queue.push_back(msg);
  }
  static std::vector<UINT> dispatched() {
    std::vector<UINT> out;
    for (const MSG &m : sim().dispatched) out.push_back(m.message);
    return out;
  }
  static void pump(int times) {
    for (int i = 0; i < times; ++i) pump_messages();
  }
  HWND target = nullptr;
};

TEST_F(PumpTest, DrainsOnlyOnEvery128thCall) {
  post(WM_MOUSEMOVE);
  post(WM_USER);
  pump(127);
  EXPECT_EQ(sim().peeks, 0);
  pump(1);
  EXPECT_EQ(dispatched(), (std::vector<UINT>{WM_MOUSEMOVE, WM_USER}));
  post(WM_USER);
  pump(127);
  EXPECT_EQ(dispatched().size(), 2u);
  pump(1);
  EXPECT_EQ(dispatched().size(), 3u);
}

TEST_F(PumpTest, ThirdPaintInARowEndsTheDrain) {
  for (UINT m : {WM_PAINT, WM_PAINT, WM_PAINT, WM_USER}) post(m);
  pump(128);
  EXPECT_EQ(dispatched(), (std::vector<UINT>{WM_PAINT, WM_PAINT}));
  ASSERT_EQ(sim().queue.size(), 1u);
  EXPECT_EQ(sim().queue.front().message, UINT(WM_USER));
}

TEST_F(PumpTest, PaintsSeparatedByOtherMessagesDoNotAddUp) {
  for (UINT m : {WM_PAINT, WM_PAINT, WM_USER, WM_PAINT, WM_PAINT, WM_USER}) post(m);
  pump(128);
  EXPECT_EQ(dispatched().size(), 6u);
}

TEST_F(PumpTest, APaintFollowedByInputDrainsAgainOnTheNextCall) {
  post(WM_PAINT);
  post(WM_MOUSEMOVE);
  pump(128);
  EXPECT_EQ(dispatched(), (std::vector<UINT>{WM_PAINT, WM_MOUSEMOVE}));
  post(WM_USER);
  pump(1);
  EXPECT_EQ(dispatched().size(), 3u);
}

}  // namespace
