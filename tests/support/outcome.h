// One check for the table-driven tests of results that carry ok and a
// problem line.
#pragma once
#include <gtest/gtest.h>

#include <string>

// Accepted when expected is nullptr; otherwise refused with a problem that
// contains expected.
inline ::testing::AssertionResult outcome_is(bool ok, const std::string &problem, const char *expected) {
  if (!expected) return ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "refused: " << problem;
  if (ok) return ::testing::AssertionFailure() << "accepted, where the problem should be: " << expected;
  if (problem.find(expected) == std::string::npos)
    return ::testing::AssertionFailure() << "problem \"" << problem << "\" does not say \"" << expected << "\"";
  return ::testing::AssertionSuccess();
}
