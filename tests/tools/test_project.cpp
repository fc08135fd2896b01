// Kestrune Packer's projects: arguments written into a project file come back
// as they were, and a saved project read back is the same project, its
// paths in the project's folder written relative to it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "tools/files/file_streams.h"
#include "tools/gui/project.h"

namespace {

TEST(ProjectFiles, QuotedArgumentsSplitBackToThemselves) {
  const char *const texts[] = {
      "plain", "",     "two words", "say \"hi\"",   "C:\\My Savers\\", "C:\\a b\\\\", "a\\\"b",        "\"",
      "\\",    "\\\"", "tab\there", "\"quoted\"\\", "--done",          "@not-a-file", "line\r\nbreak", "Caf\xC3\xA9"};
  for (const char *text : texts) {
    Arguments split;
    const std::string written = quote_argument(text);
    ASSERT_TRUE(split_argument_text(written + " next", "", &split)) << written;
    ASSERT_EQ(split.size(), 2u) << written;
    EXPECT_EQ(split[0].text, text) << written;
    EXPECT_EQ(split[1].text, "next") << written;
  }
}

TEST(ProjectFiles, SavedProjectReadsBackTheSameFromItsFolder) {
  char scratch[] = "/tmp/kestrune-project-XXXXXX";
  ASSERT_TRUE(mkdtemp(scratch));
  const std::string folder = std::string(scratch) + "/";
  Project project;
  project.main = folder + "savers/Night Sky.scr";
  project.second = folder + "Read \"Me\".txt";
  project.extra = "/elsewhere/stars.dat";
  project.main_name = "Night Sky.scr";
  project.extra_name = "STARS.DAT";
  project.main_parts = 3;
  project.best = project.silent = true;
  project.confirm = "Install \"Night Sky\"?";
  project.done = "";  // no message
  project.dialog = "Installing...\\";
  project.icon = folder + "night.ico";
  project.product_version = "1.2.0.0";
  project.codepage = "1250";
  project.output = folder + "out\\Setup.exe";

  std::string error;
  ASSERT_TRUE(write_project(folder + "night.args", project, &error)) << error;
  std::string text;
  FileError failure;
  ASSERT_TRUE(read_small_file(folder + "night.args", 4096, &text, &failure));
  EXPECT_NE(text.find("--main \"savers/Night Sky.scr\" --main-name \"Night Sky.scr\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("--extra /elsewhere/stars.dat"), std::string::npos) << text;
  EXPECT_NE(text.find("--done \"\"\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("--failure"), std::string::npos) << text;  // left at its default

  Project read;
  ASSERT_TRUE(read_project(folder + "night.args", &read, &error)) << error;
  EXPECT_EQ(project_file_text(read, ""), project_file_text(project, ""));
  EXPECT_TRUE(same_project(read, project));
  unlink((folder + "night.args").c_str());
  rmdir(scratch);
}

TEST(ProjectFiles, ArgumentsThatAreNoBuildAreRefused) {
  const struct {
    Arguments args;
    const char *problem;
  } cases[] = {
      {{"--main", "a.scr", "--bogus"}, "unknown option '--bogus'"},
      {{"--main-parts", "4"}, "--main-parts must be 1, 2 or 3"},
      {{"--stored=yes"}, "--stored takes no value"},
      {{"stray.scr"}, "unexpected argument 'stray.scr'"},
      {{"--done"}, "--done needs a text"},
  };
  for (const auto &test : cases) {
    Project project;
    std::string problem;
    EXPECT_FALSE(project_from_arguments(test.args, &project, &problem));
    EXPECT_EQ(problem, test.problem);
  }
}

}  // namespace
