// The simulation's in-memory drive and its fault injection, where the
// installer tests and the install fuzz target rely on them to behave as the
// platform does.
#include "platform/win32.h"
#include "tests/installer/installer_test.h"

namespace {

class SimTest : public InstallerTest {
 protected:
  static HANDLE create(const char *path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

TEST_F(SimTest, PathsResolveAsOnThePlatform) {
  HANDLE file = create("c:/windows/..\\.\\TEMP\\\\New.Txt");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, "abc", 3, &written, nullptr));
  CloseHandle(file);
  EXPECT_EQ(sim_read_file("C:\\TEMP\\NEW.TXT"), (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(sim_read_file("new.txt"), (Bytes{'a', 'b', 'c'})) << "relative to the current folder";
  EXPECT_EQ(sim_list_files(), std::vector<std::string>{"c:\\TEMP\\New.Txt"}) << "spelling as created";

  EXPECT_EQ(create("C:\\MISSING\\A.TXT"), INVALID_HANDLE_VALUE) << "no folder, no file";
  EXPECT_EQ(create("C:\\WINDOWS"), INVALID_HANDLE_VALUE) << "a folder is not a file";
  EXPECT_EQ(CreateFileA("C:\\TEMP\\NONE", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

// ---- Fault injection -----------------------------------------------------

TEST_F(SimTest, TheNthCallFailsOnceAsThePlatformReportsFailure) {
  sim_write_file("C:\\TEMP\\IN", {1, 2, 3, 4});
  HANDLE in = CreateFileA("C:\\TEMP\\IN", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE out = create("C:\\TEMP\\OUT");
  sim_clear_records();
  sim().fail_call = 2;  // counted across every kind of call
  uint8_t buffer[2];
  DWORD count = 99;
  EXPECT_EQ(SetFilePointer(in, 1, nullptr, FILE_BEGIN), 1u);
  EXPECT_FALSE(ReadFile(in, buffer, 2, &count, nullptr));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(sim().failed_call, "ReadFile");
  EXPECT_TRUE(ReadFile(in, buffer, 2, &count, nullptr)) << "only the Nth call fails";
  EXPECT_EQ(buffer[0], 2) << "the failed read left the position";

  const auto fail_next = [] {
    sim_clear_records();
    sim().fail_call = 1;
  };
  fail_next();
  EXPECT_EQ(create("C:\\TEMP\\OTHER"), INVALID_HANDLE_VALUE);
  fail_next();
  EXPECT_FALSE(WriteFile(out, "x", 1, &count, nullptr));
  EXPECT_EQ(count, 0u);
  fail_next();
  EXPECT_EQ(SetFilePointer(in, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  fail_next();
  EXPECT_FALSE(WritePrivateProfileStringA("boot", "a", "b", "system.ini"));
  fail_next();
  EXPECT_FALSE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0));
  EXPECT_FALSE(sim().system_parameters.back().ok);
  EXPECT_EQ(sim().failed_call, "SystemParametersInfoA");
  CloseHandle(in);
  CloseHandle(out);
  EXPECT_FALSE(sim_file_exists("C:\\TEMP\\OTHER"));
  EXPECT_TRUE(sim_read_file("C:\\TEMP\\OUT").empty());
  EXPECT_FALSE(sim_file_exists(in_windows("system.ini")));
}

}  // namespace
