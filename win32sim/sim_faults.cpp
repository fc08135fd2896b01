// "Fail the Nth call": the calls through which an install can meet a failing
// system share one count, so a test can walk a fault through every such call
// of a run by raising fail_call from 1 until the run makes fewer calls.
#include "win32sim/sim.h"
#include "win32sim/sim_internal.h"

bool sim_fault_injected(const char *call_name) {
  SimWorld &w = sim();
  if (++w.fault_calls != w.fail_call) return false;
  w.failed_call = call_name;
  return true;
}
