// A failing system at every point of an install: the Nth file, profile or
// system-parameter call of a run fails, for N = 1, 2, ... until a run makes
// fewer calls than N. Whatever fails, a run ends either in a clean failure
// (the failure message, or the damaged-installer message when a read of the
// seal's check fails; no done message; the saver not registered; exit code 1;
// no file left cut)
// or in an intact install (every file byte for byte, registered, the done
// message, exit code 0), with no handle left open and at most one outcome
// message.
#include <set>

#include "platform/win32.h"
#include "tests/installer/installer_test.h"

namespace {

const char DONE[] = "Done.";

struct FaultCase {
  const char *what;
  TestPackage package;
  bool sealed;
  std::map<std::string, Bytes> files;  // name in the Windows directory -> bytes
};

class FaultTest : public InstallerTest {
 protected:
  static void walk_faults(FaultCase &c) {
    c.package.set_text(OFFSET_DONE_TEXT, DONE);
    if (c.sealed) c.package.reseal();
    std::set<std::string> failed_calls;
    for (int n = 1;; ++n) {
      ASSERT_LT(n, 10000) << c.what << ": the runs never ran out of calls";
      sim_reset();
      sim().fail_call = n;
      const int exit_code = run_installer(c.package);
      const std::string failed = sim().failed_call;
      SCOPED_TRACE(std::string(c.what) + ", call " + std::to_string(n) + " failing: " + failed);
      EXPECT_EQ(sim_open_handles(), 0);
      EXPECT_LE(sim().message_boxes.size(), 1u);
      EXPECT_FALSE(sim().dialog_stalled);
      if (failed.empty()) {  // the run made fewer calls than n
        expect_installed(c, exit_code);
        break;
      }
      failed_calls.insert(failed);
      if (box_texts() == Texts{DONE})
        expect_installed(c, exit_code);
      else
        expect_clean_failure(c, failed, exit_code);
    }
    EXPECT_EQ(failed_calls.size(), 6u) << "every kind of call failed somewhere";
  }

  static bool saver_named() {
    return sim_profile_string(in_windows("system.ini"), "boot", "SCRNSAVE.EXE") == in_windows(MAIN_NAME);
  }
  static bool screen_saving_on() {
    for (const SimSystemParameter &call : sim().system_parameters)
      if (call.ok) return true;
    return false;
  }
  static bool created_a_file() {
    for (const SimCreateFile &call : sim().create_files)
      if (call.ok && (call.access & GENERIC_WRITE)) return true;
    return false;
  }

  static void expect_installed(const FaultCase &c, int exit_code) {
    for (const auto &file : c.files) EXPECT_EQ(sim_read_file(in_windows(file.first)), file.second) << file.first;
    EXPECT_TRUE(saver_named());
    EXPECT_TRUE(screen_saving_on());
    EXPECT_EQ(box_texts(), Texts{DONE});
    EXPECT_EQ(exit_code, 0);
  }

  // The seal is checked before the first file is created; only a read in it
  // may turn into the damaged-installer message. The registration writes
  // system.ini first and then switches screen saving on; when the second
  // step fails, the first stays done.
  static void expect_clean_failure(const FaultCase &c, const std::string &failed, int exit_code) {
    const bool in_seal_check = c.sealed && failed == "ReadFile" && !created_a_file();
    EXPECT_TRUE(box_texts() == Texts{FAILURE_TEXT} || (in_seal_check && box_texts() == Texts{BAD_HEADER_TEXT}))
        << (box_texts().empty() ? "no message" : box_texts()[0]);
    EXPECT_EQ(exit_code, 1);
    EXPECT_FALSE(screen_saving_on());
    // A file whose writing failed is gone; only complete files stay.
    for (const auto &file : c.files) {
      if (sim_file_exists(in_windows(file.first))) {
        EXPECT_EQ(sim_read_file(in_windows(file.first)), file.second) << file.first << " left cut after " << failed;
      }
    }
    if (failed != "SystemParametersInfoA") {
      EXPECT_FALSE(saver_named());
    }
  }
};

TEST_F(FaultTest, EveryFailingCallEndsCleanlyOrInstallsIntact) {
  const Bytes extra = sample_bytes(300, 60), main = sample_bytes(20000, 61), second = sample_bytes(700, 62);
  const Bytes p1 = sample_bytes(25000, 63), p2 = sample_bytes(12000, 64), p3 = sample_bytes(500, 65);
  const Bytes big = sample_bytes(60000, 66);
  // All built before the first fault is armed: building compresses on the
  // simulated drive too.
  FaultCase cases[] = {
      {"stored, sealed",
       stored_package(main, second, &extra),
       true,
       {{EXTRA_NAME, extra}, {MAIN_NAME, main}, {SECOND_NAME, second}}},
      {"compressed, five streams, sealed",
       compressed_package({p1, p2, p3}, second, &extra),
       true,
       {{EXTRA_NAME, extra}, {MAIN_NAME, concat({p1, p2, p3})}, {SECOND_NAME, second}}},
      {"compressed, progress dialog",
       compressed_package({big}, second),
       false,
       {{MAIN_NAME, big}, {SECOND_NAME, second}}},
  };
  cases[2].package.set_text(OFFSET_DIALOG_TEXT, "Unpacking...");
  for (FaultCase &c : cases) walk_faults(c);
}

}  // namespace
