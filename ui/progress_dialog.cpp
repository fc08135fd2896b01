#include "ui/progress_dialog.h"

#include "codec/common/stream_io.h"
#include "installer/config.h"
#include "installer/dialog_seam.h"
#include "installer/install.h"
#include "ui/pump.h"
#include "ui/resource_ids.h"

int32_t start_pending = 1;
ProgressDialogState progress_dialog_state = {NULL, 0, PROGRESS_KIB_SHIFT};

namespace {

enum { BAR_MAXIMUM = 0xFFFF };

void centre_on_desktop(HWND dialog) {
  RECT desktop, own;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(dialog, &own);
  const int32_t width = own.right - own.left;
  const int32_t height = own.bottom - own.top;
  MoveWindow(dialog, (desktop.right - desktop.left - width) / 2, (desktop.bottom - desktop.top - height) / 2, width,
             height, TRUE);
}

// The bar's range is the sum of all five sizes; the control takes a 16-bit
// maximum.
void set_progress_range(HWND dialog) {
  const uint64_t total = uint64_t{install_config.main_size} + install_config.main_part2_size +
                         install_config.main_part3_size + install_config.second_size + install_config.extra_size;
  // KiB, or larger steps where the total in KiB would not fit the control.
  // In KiB it fits 32 bits: five 32-bit sizes are less than 2^35 bytes.
  uint32_t steps = static_cast<uint32_t>(total >> PROGRESS_KIB_SHIFT);
  uint32_t shift = PROGRESS_KIB_SHIFT;
  for (; steps > BAR_MAXIMUM; steps >>= 1) ++shift;
  progress_dialog_state.step_shift = shift;
  SendMessageA(GetDlgItem(dialog, IDC_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, steps));
}

}  // namespace

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      progress_dialog_state.window = dialog;
      centre_on_desktop(dialog);
      SetWindowTextA(GetDlgItem(dialog, IDC_PROGRESS_TEXT), install_config.dialog_text);
      set_progress_range(dialog);
      SetTimer(dialog, START_TIMER_ID, START_TIMER_MS, NULL);
      return TRUE;
    case WM_PAINT:
    case WM_TIMER:
      // Start once the dialog has been seen, or once the timer says it will
      // not be; later paints and ticks repost the start message, which then
      // finds nothing pending.
      PostMessageA(dialog, WM_START_INSTALL, 0, 0);
      return FALSE;
    case WM_START_INSTALL:
      if (start_pending) {
        start_pending = 0;
        KillTimer(dialog, START_TIMER_ID);
        install_payload();
      }
      return FALSE;
    default: return FALSE;
  }
}

void end_progress_dialog(void) {
  if (progress_dialog_state.window == NULL) return;
  if (!config_flag(FLAG_SILENT)) SetForegroundWindow(progress_dialog_state.window);
  EndDialog(progress_dialog_state.window, 1);
  progress_dialog_state.window = NULL;
}

void report_progress(int32_t count) {
  ProgressDialogState &state = progress_dialog_state;
  if (count > 0) state.bytes_written += static_cast<uint32_t>(count);
  SendMessageA(GetDlgItem(state.window, IDC_PROGRESS_BAR), PBM_SETPOS,
               static_cast<WPARAM>(state.bytes_written >> state.step_shift), 0);
}
