// The main window's messages: the buttons, dropped files, the notes' colours,
// projects opened and saved, and closing with unsaved changes.
// window.h first: it sets the Windows version the system headers declare.
#include "tools/gui/window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <new>

#include "tools/files/file_streams.h"
#include "tools/files/system_files.h"
#include "tools/gui/resource_ids.h"

namespace {

const char TITLE[] = "Kestrune Packer";

const char HELP_TEXT[] =
    "Kestrune Packer makes a self-installing screen saver: one small program that copies the screen saver, a "
    "second file (a readme, say) and an optional extra file into the Windows folder and makes the screen saver "
    "the active one.\n\n"
    "1. Choose the files with Browse..., type their paths, or drop them on their fields.\n"
    "2. The installed names come from the files; change them if you like. The note under a name says when Windows "
    "would not take it, and which short name SYSTEM.INI will hold.\n"
    "3. A message left empty gets what the grey note under it says.\n"
    "4. Choose the installer to make and press Build (Enter). Cancel stops a build; nothing is written then, and an "
    "existing file stays as it was.\n\n"
    "Projects: Save project... writes every field as the options of kestrune-pack build, so that 'kestrune-pack "
    "build @project.args' makes the same installer. Relative paths in a project are taken against the project's "
    "own folder, and files in or below that folder are saved relative to it. Open a project with Open project..., "
    "by dropping it on the window, or by starting kestrune-packw.exe with its name.\n\n"
    "Keys: Tab moves on; Alt and an underlined letter moves to that field (again, to the next one with the same "
    "letter); F1 shows this help; Esc cancels a build, or closes the window.";

struct FileChoice {
  int field;
  const char *filter;     // pairs of description and pattern, each ending in a zero
  const char *extension;  // added to a name typed without one (save dialogs)
  bool save;
};
const FileChoice FILE_CHOICES[] = {
    {IDC_MAIN, "Screen savers (*.scr)\0*.scr\0All files (*.*)\0*.*\0", nullptr, false},
    {IDC_SECOND, "All files (*.*)\0*.*\0Text files (*.txt)\0*.txt\0", nullptr, false},
    {IDC_EXTRA, "All files (*.*)\0*.*\0", nullptr, false},
    {IDC_ICON_FILE, "Icons and programs (*.ico, *.exe, *.scr)\0*.ico;*.exe;*.scr\0All files (*.*)\0*.*\0", nullptr,
     false},
    {IDC_OUTPUT, "Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0", "exe", true},
};
const char PROJECT_FILTER[] = "Kestrune projects (*.args)\0*.args\0All files (*.*)\0*.*\0";

// The files a drop may fill, each with the controls around it that take it.
const int DROP_TARGETS[][4] = {
    {IDC_MAIN, IDC_MAIN_BROWSE, IDC_MAIN_NAME, IDC_MAIN_NOTE},
    {IDC_SECOND, IDC_SECOND_BROWSE, IDC_SECOND_NAME, IDC_SECOND_NOTE},
    {IDC_EXTRA, IDC_EXTRA_BROWSE, IDC_EXTRA_NAME, IDC_EXTRA_NOTE},
    {IDC_OUTPUT, IDC_OUTPUT_BROWSE, IDC_OUTPUT, IDC_OUTPUT},
    {IDC_ICON_FILE, IDC_ICON_BROWSE, IDC_ICON_PREVIEW, IDC_ICON_FILE},
};

PackerWindow *window_of(HWND dialog) { return reinterpret_cast<PackerWindow *>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void update_title(PackerWindow *window) {
  const std::string title =
      window->project_path.empty() ? TITLE : std::string(TITLE) + " - " + base_name(window->project_path);
  SetWindowTextA(window->dialog, system_text_for_console(title).c_str());
}

// A file dialog over the window; *path (UTF-8) is where it starts and what
// was chosen. False when the user cancelled.
bool choose_file(HWND owner, const char *filter, const char *extension, bool save, std::string *path) {
  char file[MAX_PATH] = "";
  const std::string folder = system_text_for_console(directory_of(*path));
  lstrcpynA(file, system_text_for_console(base_name(*path)).c_str(), sizeof file);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrDefExt = extension;
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog))) return false;
  *path = system_text_to_utf8(file);
  return true;
}

bool open_project(PackerWindow *window, const std::string &path) {
  Project project;
  std::string error, full = path;
  char buffer[MAX_PATH];
  char *name = nullptr;
  const std::string ansi = system_text_for_console(path);
  const DWORD length = GetFullPathNameA(ansi.c_str(), MAX_PATH, buffer, &name);
  if (length > 0 && length < MAX_PATH) full = system_text_to_utf8(buffer);
  if (!read_project(full, &project, &error)) {
    show_message(window->dialog, error, MB_OK | MB_ICONSTOP);
    return false;
  }
  window->project_path = full;
  show_project(window, project);
  window->saved = project_from_fields(window);
  show_summary(window->dialog, {});
  update_title(window);
  return true;
}

// Saves to the project's file, or to one the user chooses first (always
// when save_as). False when nothing was saved.
bool save_project(PackerWindow *window, bool save_as) {
  std::string path = window->project_path;
  if ((save_as || path.empty()) && !choose_file(window->dialog, PROJECT_FILTER, "args", true, &path)) return false;
  const Project project = project_from_fields(window);
  std::string error;
  if (!write_project(path, project, &error)) {
    show_message(window->dialog, error, MB_OK | MB_ICONSTOP);
    return false;
  }
  window->project_path = path;
  window->saved = project;
  update_title(window);
  return true;
}

// True when the fields may be given up: nothing unsaved, or the user saved
// it or said to leave it.
bool may_discard(PackerWindow *window) {
  if (same_project(project_from_fields(window), window->saved)) return true;
  const std::string name = window->project_path.empty() ? "the new project" : base_name(window->project_path);
  const std::string question = "Save the changes to " + name + "?";
  const int answer =
      MessageBoxA(window->dialog, system_text_for_console(question).c_str(), TITLE, MB_YESNOCANCEL | MB_ICONQUESTION);
  return answer == IDNO || (answer == IDYES && save_project(window, false));
}

void close_window(PackerWindow *window, bool from_title_bar) {
  if (window->job) {
    // The build stops first; the window closes once the worker has ended.
    cancel_build(window);
    window->close_when_built = window->close_when_built || from_title_bar;
    return;
  }
  if (may_discard(window)) DestroyWindow(window->dialog);
}

void build(PackerWindow *window) {
  if (window->job) {
    cancel_build(window);
    return;
  }
  std::string error;
  if (!start_build(window, project_from_fields(window), &error))
    show_message(window->dialog, error, MB_OK | MB_ICONSTOP);
}

void drop_files(PackerWindow *window, HDROP drop) {
  char file[MAX_PATH] = "";
  POINT at = {};
  const bool got = DragQueryFileA(drop, 0, file, sizeof file) > 0;
  DragQueryPoint(drop, &at);
  DragFinish(drop);
  if (!got || window->job) return;
  const std::string path = system_text_to_utf8(file);
  // The drop goes to the row under the pointer, from the column's left edge.
  RECT column = {7, 0, 0, 0};
  MapDialogRect(window->dialog, &column);
  for (const auto &target : DROP_TARGETS) {
    RECT row = {};
    for (int id : target) {
      RECT part;
      GetWindowRect(GetDlgItem(window->dialog, id), &part);
      MapWindowPoints(nullptr, window->dialog, reinterpret_cast<POINT *>(&part), 2);
      UnionRect(&row, &row, &part);
    }
    row.left = column.left;
    if (PtInRect(&row, at)) {
      set_field_text(window->dialog, target[0], path);
      return;
    }
  }
  // A project dropped anywhere else opens.
  const std::string extension = path.size() > 5 ? path.substr(path.size() - 5) : "";
  if ((extension == ".args" || extension == ".ARGS") && may_discard(window)) open_project(window, path);
}

// F1 in the help's own box asks for help again; one box is enough.
void show_help(HWND dialog) {
  static bool showing = false;
  if (showing) return;
  showing = true;
  show_message(dialog, HELP_TEXT, MB_OK | MB_ICONINFORMATION);
  showing = false;
}

void command(PackerWindow *window, int id, int code) {
  if (code == EN_CHANGE) {
    if (id == IDC_MAIN || id == IDC_SECOND || id == IDC_EXTRA) file_changed(window, id);
    if (id == IDC_ICON_FILE) update_preview(window);
    update_notes(window);
    return;
  }
  for (const FileChoice &choice : FILE_CHOICES) {
    if (id != choice.field + 1) continue;
    std::string path = field_text(window->dialog, choice.field);
    if (choose_file(window->dialog, choice.filter, choice.extension, choice.save, &path))
      set_field_text(window->dialog, choice.field, path);
    return;
  }
  switch (id) {
    case IDOK: build(window); return;
    case IDCANCEL: close_window(window, false); return;
    case IDHELP: show_help(window->dialog); return;
    case IDC_OPEN: {
      std::string path = window->project_path;
      if (may_discard(window) && choose_file(window->dialog, PROJECT_FILTER, nullptr, false, &path))
        open_project(window, path);
      return;
    }
    case IDC_SAVE: save_project(window, true); return;
    case IDC_COMPRESSED:
    case IDC_STORED:
    case IDC_BEST:
    case IDC_SILENT:
    case IDC_NO_DONE: update_notes(window); return;
    case IDC_PARTS:
      if (code == CBN_SELCHANGE) update_notes(window);
      return;
  }
}

// Grey notes, and red ones for a name that would be refused.
INT_PTR note_colour(PackerWindow *window, HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  const bool note = id == IDC_MAIN_NOTE || id == IDC_SECOND_NOTE || id == IDC_EXTRA_NOTE || id == IDC_CONFIRM_NOTE ||
                    id == IDC_DIALOG_NOTE || id == IDC_DONE_NOTE || id == IDC_FAILURE_NOTE || id == IDC_BAD_HEADER_NOTE;
  if (!note) return 0;
  const int slot = (id - IDC_MAIN_NOTE) / FILE_ID_STEP;
  const bool problem = (id - IDC_MAIN_NOTE) % FILE_ID_STEP == 0 && slot < 3 && window->name_problem[slot];
  SetTextColor(dc, problem ? RGB(192, 0, 0) : GetSysColor(COLOR_GRAYTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

void initialise(HWND dialog, PackerWindow *window) {
  window->dialog = dialog;
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(window));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  SendMessageA(dialog, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_PACKER))));
  for (const char *parts : {"1", "2", "3"})
    SendDlgItemMessageA(dialog, IDC_PARTS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(parts));
  SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 1000));
  SendDlgItemMessageA(dialog, IDC_SUMMARY, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), 0);
  // Names and texts hold at most 63 bytes in the installer.
  for (int id :
       {IDC_MAIN_NAME, IDC_SECOND_NAME, IDC_EXTRA_NAME, IDC_CONFIRM, IDC_DIALOG, IDC_DONE, IDC_FAILURE, IDC_BAD_HEADER})
    SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, 63, 0);
  DragAcceptFiles(dialog, TRUE);
  show_project(window, Project());
  window->saved = project_from_fields(window);
}

INT_PTR handle(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  PackerWindow *window = window_of(dialog);
  if (message == WM_INITDIALOG) {
    initialise(dialog, reinterpret_cast<PackerWindow *>(lparam));
    return TRUE;
  }
  if (!window) return FALSE;
  switch (message) {
    case WM_COMMAND: command(window, LOWORD(wparam), HIWORD(wparam)); return TRUE;
    case WM_CTLCOLORSTATIC: return note_colour(window, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_DROPFILES: drop_files(window, reinterpret_cast<HDROP>(wparam)); return TRUE;
    case WM_HELP: show_help(dialog); return TRUE;
    case WM_CLOSE: close_window(window, true); return TRUE;
    case WM_BUILD_PROGRESS: show_build_progress(window); return TRUE;
    case WM_BUILD_DONE:
      finish_build(window);
      if (window->close_when_built) close_window(window, true);
      return TRUE;
    case WM_DESTROY:
      if (window->preview) DestroyIcon(window->preview);
      PostQuitMessage(0);
      return TRUE;
  }
  return FALSE;
}

// Exceptions must not cross into Windows' own frames.
INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  try {
    return handle(dialog, message, wparam, lparam);
  } catch (const std::bad_alloc &) {
    show_message(dialog, "out of memory", MB_OK | MB_ICONSTOP);
  } catch (const std::exception &failure) {
    show_message(dialog, std::string("internal error: ") + failure.what(), MB_OK | MB_ICONSTOP);
  }
  return TRUE;
}

}  // namespace

void show_message(HWND owner, const std::string &text, UINT style) {
  MessageBoxA(owner, system_text_for_console(text).c_str(), TITLE, style);
}

HWND create_packer_window(HINSTANCE instance, PackerWindow *window, const std::string &project_path) {
  HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PACKER), nullptr, dialog_procedure,
                                   reinterpret_cast<LPARAM>(window));
  if (!dialog) return nullptr;
  ShowWindow(dialog, SW_SHOWDEFAULT);
  if (!project_path.empty()) open_project(window, project_path);
  return dialog;
}
