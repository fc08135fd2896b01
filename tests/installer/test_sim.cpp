// The simulation's in-memory drive, where the installer tests and the install
// fuzz target rely on it to behave as the platform does.
#include "platform/win32.h"
#include "tests/installer/installer_test.h"

namespace {

class SimDriveTest : public InstallerTest {
 protected:
  static HANDLE create(const char *path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

TEST_F(SimDriveTest, PathsResolveAsOnThePlatform) {
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
  EXPECT_EQ(CreateFileA("C:\\TEMP\\NONE", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
}

}  // namespace
