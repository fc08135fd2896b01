// Program entry: no window of its own, no command-line options; everything
// it does is steered by the configuration record.
#include "ui/winmain.h"

#include "installer/config.h"
#include "installer/hand_back.h"
#include "installer/install.h"
#include "ui/progress_dialog.h"
#include "ui/resource_ids.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int install = 1;

  // Registers the progress bar class of the dialog.
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  unscramble_config();

  if (install_config.confirm_text[0] != 0 &&
      MessageBoxA(NULL, install_config.confirm_text, MESSAGE_CAPTION, MB_YESNO) != IDYES)
    install = 0;

  if (install) {
    // The dialog is created with the program's own instance handle, not a
    // null one: its icon control loads icon 1020 through the dialog's
    // instance, and with a null instance it looks among the system icons
    // and shows nothing.
    if (config_flag(FLAG_COMPRESSED) && !config_flag(FLAG_SILENT) && install_config.dialog_text[0] != 0)
      DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL, progress_dialog_proc, 0);
    else
      install_payload();
  }

  hand_back_foreground(NULL);
  if (!install) return EXIT_DECLINED;
  return installed ? EXIT_INSTALLED : EXIT_NOT_INSTALLED;
}
