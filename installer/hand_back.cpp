// Giving the foreground to another program's window before the process
// ends, so the user is not left facing nothing.
#include "installer/hand_back.h"

#include "installer/output_files.h"
#include "installer/text.h"

namespace {

int is_candidate(HWND window, const char *title) {
  if (title[0] == 0 || !IsWindow(window) || IsIconic(window) || !IsWindowVisible(window)) return 0;
  // Owned windows qualify only as an open Display Properties sheet.
  return GetParent(window) == NULL || text_equal(title, DISPLAY_PROPERTIES_TITLE);
}

}  // namespace

void hand_back_foreground(HWND start) {
  char title[WINDOW_TITLE_SIZE];
  HWND window = start;
  for (int passed = 0; passed < HAND_BACK_CANDIDATES; ++passed) {
    // Past the bottom of the Z order the walk starts again from the top.
    window = window == NULL ? GetWindow(GetDesktopWindow(), GW_CHILD) : GetWindow(window, GW_HWNDNEXT);
    if (window == NULL) continue;
    title[0] = 0;
    GetWindowTextA(window, title, WINDOW_TITLE_SIZE);
    title[WINDOW_TITLE_SIZE - 1] = 0;
    if (is_candidate(window, title)) {
      SetForegroundWindow(window);
      return;
    }
  }
}
