// The simulated world itself: reset, case folding of names, and the small
// services that record what they were asked (message boxes, Sleep, system
// parameters).
#include <cstring>

#include "platform/win32.h"
#include "win32sim/sim.h"
#include "win32sim/sim_internal.h"

SimWorld &sim() {
  static SimWorld world;
  return world;
}

// ---- Reset ---------------------------------------------------------------

void sim_reset() {
  sim_close_all_files();
  sim() = SimWorld();
  sim_make_dir(sim().windows_dir);
  sim_make_dir(sim().current_dir);
}

void sim_clear_records() {
  SimWorld &w = sim();
  w.message_boxes.clear();
  w.create_files.clear();
  w.deleted_files.clear();
  w.read_requests.clear();
  w.find_first_files.clear();
  w.find_closes = 0;
  w.sleeps.clear();
  w.posts.clear();
  w.system_parameters.clear();
  w.foreground_calls.clear();
  w.init_common_controls.clear();
  w.dispatched.clear();
  w.peeks = 0;
  w.dialogs_opened = 0;
  w.end_dialogs = 0;
  w.dialog_stalled = false;
  w.default_paints = 0;
  w.moves.clear();
  w.progress_min = w.progress_max = -1;
  w.progress_positions.clear();
  w.timer_periods.clear();
  w.queue.clear();
  w.fault_calls = 0;
  w.failed_call.clear();
}

// ---- Names ---------------------------------------------------------------

std::string sim_lower(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// ---- Recording services --------------------------------------------------

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  SimWorld &w = sim();
  // EndDialog hides the dialog at once; it is destroyed when its loop ends.
  SimWindow *dialog = sim_window(w.dialog);
  bool dialog_open = dialog && dialog->alive && !dialog->end_requested;
  w.message_boxes.push_back({text ? text : "", caption ? caption : "", type, dialog_open});
  if (!w.message_box_answers.empty()) {
    int answer = w.message_box_answers.front();
    w.message_box_answers.pop_front();
    return answer;
  }
  return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
}

void WINAPI Sleep(DWORD milliseconds) { sim().sleeps.push_back(milliseconds); }

BOOL WINAPI SystemParametersInfoA(UINT action, UINT param, PVOID data, UINT win_ini) {
  const bool ok = !sim_fault_injected("SystemParametersInfoA");
  sim().system_parameters.push_back({action, param, data, win_ini, ok});
  return ok ? TRUE : FALSE;
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *init) {
  sim().init_common_controls.push_back({init->dwSize, init->dwICC});
  return TRUE;
}

const char *startup_argv0(void) { return sim().argv0.c_str(); }

DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  const std::string &path = sim().module_path;
  if (path.empty() || size == 0) return 0;
  // As the platform does: a name that does not fit is cut, and the full size returned.
  DWORD n = static_cast<DWORD>(path.size()) < size ? static_cast<DWORD>(path.size()) : size - 1;
  memcpy(buffer, path.data(), n);
  buffer[n] = 0;
  return n < path.size() ? size : n;
}
