// What the hardening tests share: packages that say when they are done, and
// the two acceptable ends of an install of a damaged or extreme package.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/install_harness.h"

inline const char DONE_TEXT[] = "Installed.";

// test_request with DONE_TEXT, so a success can be told apart.
inline TestRequest hardening_request(const Bytes &main, const Bytes &second, const Bytes *extra = nullptr) {
  TestRequest request = test_request(main, second, extra);
  request.done_text = DONE_TEXT;
  return request;
}

inline void expect_installed(const InstallOutcome &outcome, const TestRequest &request) {
  EXPECT_EQ(outcome.texts, std::vector<std::string>{DONE_TEXT});
  EXPECT_TRUE(outcome.registered);
  EXPECT_TRUE(outcome.windows_files == expected_files(request));
  EXPECT_TRUE(outcome.outside_writes.empty());
  EXPECT_EQ(outcome.open_handles, 0);
}
