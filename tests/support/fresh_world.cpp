// Every test of a suite that installs on the simulation starts in a fresh
// world, whatever the test before it left there (a small disk, say): a
// listener resets the simulation before each test. Linked into the test
// programs only, as an object, so that its registration is kept.
#include <gtest/gtest.h>

#include "win32sim/sim.h"

namespace {

class FreshWorld : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo &) override { sim_reset(); }
};

const bool registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new FreshWorld);
  return true;
}();

}  // namespace
