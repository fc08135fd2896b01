// kestrune-packw: Kestrune Packer, the package tool in a window, for Windows
// 95 and later. "kestrune-packw [PROJECT]" opens the window, with PROJECT
// (an argument file of kestrune-pack build, see project.h) opened in it.
// window.h first: it sets the Windows version the system headers declare.
#include "tools/gui/window.h"

#include <commctrl.h>

#include <new>

#include "tools/files/system_files.h"

namespace {

int run(const std::vector<std::string> &arguments) {
  if (arguments.size() > 2) {
    show_message(nullptr, "Usage: kestrune-packw [PROJECT]", MB_OK | MB_ICONSTOP);
    return 2;
  }
  // "@PROJECT", as kestrune-pack takes it, is the same project.
  std::string project = arguments.size() == 2 ? arguments[1] : "";
  if (project.size() > 1 && project[0] == '@') project.erase(0, 1);
  InitCommonControls();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  PackerWindow window;
  HWND dialog = create_packer_window(instance, &window, project);
  if (!dialog) {
    show_message(nullptr, "The window cannot be opened: " + system_error_text(static_cast<int>(GetLastError())),
                 MB_OK | MB_ICONSTOP);
    return 1;
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  try {
    return run(system_arguments(argc, argv));
  } catch (const std::bad_alloc &) {
    show_message(nullptr, "out of memory", MB_OK | MB_ICONSTOP);
  } catch (const std::exception &failure) {
    show_message(nullptr, std::string("internal error: ") + failure.what(), MB_OK | MB_ICONSTOP);
  }
  return 1;
}
