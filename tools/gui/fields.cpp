// The window's fields: a project in and out of the controls, and the notes
// that say, before Build, what the library will make of them.
// window.h first: it sets the Windows version the system headers declare.
#include "tools/gui/window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "package/codepage.h"
#include "package/names.h"
#include "tools/files/file_streams.h"
#include "tools/files/system_files.h"
#include "tools/gui/project_build.h"
#include "tools/gui/resource_ids.h"

namespace {

const int FILE_FIELDS[] = {IDC_MAIN, IDC_SECOND, IDC_EXTRA};
const int PATH_FIELDS[] = {IDC_MAIN, IDC_SECOND, IDC_EXTRA, IDC_ICON_FILE, IDC_OUTPUT};
const char *const NAME_OPTIONS[] = {"--main-name", "--second-name", "--extra-name"};
const char *const NAME_ROLES[] = {"the screen saver", "the second file", "the extra file"};

struct TextField {
  int id;
  std::optional<std::string> Project::*field;
};
const TextField VERSION_FIELDS[] = {{IDC_PRODUCT_NAME, &Project::product_name},
                                    {IDC_PRODUCT_VERSION, &Project::product_version},
                                    {IDC_COMPANY, &Project::company},
                                    {IDC_COPYRIGHT, &Project::copyright},
                                    {IDC_DESCRIPTION, &Project::description}};

bool is_path_field(int id) {
  for (int path : PATH_FIELDS)
    if (path == id) return true;
  return false;
}

std::optional<std::string> unless_empty(const std::string &text) {
  if (text.empty()) return std::nullopt;
  return text;
}

// A name in the project's code page, as the builder takes it; false with
// *problem when it does not fit the code page.
bool name_bytes(const std::string &name, const Project &project, const char *option, std::string *bytes,
                std::string *problem) {
  TextForm form;
  const int codepage = project_codepage(project, &form);
  return text_in_codepage(form == TEXT_UTF8 ? name : system_text_for_console(name), form, codepage, option, bytes,
                          problem);
}

// Text of the code page again as UTF-8, for a note.
std::string shown(const std::string &bytes, const Project &project) {
  TextForm form;
  const int codepage = project_codepage(project, &form);
  return form == TEXT_UTF8 ? codepage_to_utf8(bytes, codepage) : system_text_to_utf8(bytes);
}

// The library's reason in a few words: what follows " (" is left to the
// message Build gives.
std::string briefly(const char *why) {
  std::string text = why;
  const size_t cut = text.find(" (");
  if (cut != std::string::npos) text.resize(cut);
  return text;
}

// The notes under the installed names: a name the builder would refuse,
// two names that are one file, or the short name SYSTEM.INI will hold.
void update_name_notes(PackerWindow *window, const Project &project) {
  const std::string *paths[] = {&project.main, &project.second, &project.extra};
  std::string bytes[3];
  for (int slot = 0; slot < 3; ++slot) {
    const int note = FILE_FIELDS[slot] + 3;
    std::string text, name = field_text(window->dialog, FILE_FIELDS[slot] + 2);
    if (name.empty()) name = base_name(*paths[slot]);
    bool problem = false;
    if (!paths[slot]->empty() || !name.empty()) {
      problem = !name_bytes(name, project, NAME_OPTIONS[slot], &bytes[slot], &text);
      if (!problem && file_name_problem(bytes[slot])) {
        text = "Refused: " + briefly(file_name_problem(bytes[slot])) + ".";
        problem = true;
      }
      TextForm form;
      const int codepage = project_codepage(project, &form);
      for (int other = 0; !problem && other < slot; ++other) {
        if (bytes[other].empty() || !names_are_one_file(bytes[other], bytes[slot], codepage)) continue;
        text = "The same file as " + std::string(NAME_ROLES[other]) + " under Windows.";
        problem = true;
      }
      if (!problem && slot == 0 && !likely_short_name(bytes[0]).empty())
        text = "SYSTEM.INI will name it by its short name, likely " + shown(likely_short_name(bytes[0]), project) + ".";
    }
    if (problem) bytes[slot].clear();
    window->name_problem[slot] = problem;
    set_field_text(window->dialog, note, text);
  }
}

// What an empty text means, under each text that is empty.
void update_text_notes(PackerWindow *window, const Project &project) {
  HWND dialog = window->dialog;
  const bool no_done = IsDlgButtonChecked(dialog, IDC_NO_DONE) == BST_CHECKED;
  const std::string main_name = project.main_name ? *project.main_name : base_name(project.main);
  std::string done, bytes, problem;
  if (no_done)
    done = "No message after installing.";
  else if (!field_text(dialog, IDC_DONE).empty())
    done = "";
  else if (main_name.empty())
    done = "Empty: \"<Name> is now your screen saver.\", from the screen saver's name.";
  else if (name_bytes(main_name, project, "--main-name", &bytes, &problem))
    done = "Empty: \"" + shown(default_done_text(bytes), project) + "\"";
  set_field_text(dialog, IDC_DONE_NOTE, done);
  EnableWindow(GetDlgItem(dialog, IDC_DONE), !no_done);
  const auto empty_note = [&](int field, int note, const std::string &text) {
    set_field_text(dialog, note, field_text(dialog, field).empty() ? text : "");
  };
  empty_note(IDC_CONFIRM, IDC_CONFIRM_NOTE, "Empty: no question before installing.");
  // A progress text is kept but unused in these (the library notes it too).
  if (project.stored || project.silent)
    set_field_text(
        dialog, IDC_DIALOG_NOTE,
        project.stored ? "Stored installers show no progress box." : "Silent installers show no progress box.");
  else
    empty_note(IDC_DIALOG, IDC_DIALOG_NOTE, "Empty: no progress box.");
  const char *none = "Empty: none, as the project says.";
  empty_note(IDC_FAILURE, IDC_FAILURE_NOTE,
             window->no_failure_text ? none : "Empty: \"" + std::string(DEFAULT_FAILURE_TEXT) + "\"");
  empty_note(IDC_BAD_HEADER, IDC_BAD_HEADER_NOTE,
             window->no_bad_header_text ? none : "Empty: \"" + std::string(DEFAULT_BAD_HEADER_TEXT) + "\"");
}

}  // namespace

std::string field_text(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(control, &text[0], static_cast<int>(text.size()))));
  if (is_path_field(id) && !text.empty()) {
    char full[MAX_PATH];
    char *name = nullptr;
    const DWORD length = GetFullPathNameA(text.c_str(), MAX_PATH, full, &name);
    if (length > 0 && length < MAX_PATH) text = full;
  }
  return system_text_to_utf8(text);
}

void set_field_text(HWND dialog, int id, const std::string &text) {
  // Only a text that changes is set, so that the notes, set at every key
  // typed, do not flicker.
  const std::string shown = system_text_for_console(text);
  char current[1024] = "";
  GetDlgItemTextA(dialog, id, current, sizeof current);
  if (shown != current) SetDlgItemTextA(dialog, id, shown.c_str());
}

void show_project(PackerWindow *window, const Project &project) {
  HWND dialog = window->dialog;
  window->showing = true;
  const std::string *paths[] = {&project.main, &project.second, &project.extra};
  const std::optional<std::string> *names[] = {&project.main_name, &project.second_name, &project.extra_name};
  for (int slot = 0; slot < 3; ++slot) {
    SetDlgItemTextA(dialog, FILE_FIELDS[slot], system_text_for_console(*paths[slot]).c_str());
    window->filled_names[slot] = base_name(*paths[slot]);
    const std::string name = *names[slot] ? **names[slot] : window->filled_names[slot];
    SetDlgItemTextA(dialog, FILE_FIELDS[slot] + 2, system_text_for_console(name).c_str());
  }
  CheckRadioButton(dialog, IDC_COMPRESSED, IDC_STORED, project.stored ? IDC_STORED : IDC_COMPRESSED);
  CheckDlgButton(dialog, IDC_BEST, project.best ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_SILENT, project.silent ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageA(dialog, IDC_PARTS, CB_SETCURSEL, static_cast<WPARAM>(project.main_parts - 1), 0);
  const std::pair<int, const std::optional<std::string> *> texts[] = {{IDC_CONFIRM, &project.confirm},
                                                                      {IDC_DIALOG, &project.dialog},
                                                                      {IDC_DONE, &project.done},
                                                                      {IDC_FAILURE, &project.failure},
                                                                      {IDC_BAD_HEADER, &project.bad_header}};
  for (const auto &text : texts)
    SetDlgItemTextA(dialog, text.first, system_text_for_console(text.second->value_or("")).c_str());
  CheckDlgButton(dialog, IDC_NO_DONE, project.done && project.done->empty() ? BST_CHECKED : BST_UNCHECKED);
  window->no_failure_text = project.failure && project.failure->empty();
  window->no_bad_header_text = project.bad_header && project.bad_header->empty();
  for (const TextField &text : VERSION_FIELDS)
    SetDlgItemTextA(dialog, text.id, system_text_for_console((project.*text.field).value_or("")).c_str());
  SetDlgItemTextA(dialog, IDC_ICON_FILE, system_text_for_console(project.icon).c_str());
  SetDlgItemTextA(dialog, IDC_OUTPUT, system_text_for_console(project.output).c_str());
  window->stub = project.stub;
  window->codepage = project.codepage;
  window->showing = false;
  update_preview(window);
  update_notes(window);
}

Project project_from_fields(PackerWindow *window) {
  HWND dialog = window->dialog;
  Project project;
  std::string *paths[] = {&project.main, &project.second, &project.extra};
  std::optional<std::string> *names[] = {&project.main_name, &project.second_name, &project.extra_name};
  for (int slot = 0; slot < 3; ++slot) {
    *paths[slot] = field_text(dialog, FILE_FIELDS[slot]);
    const std::string name = field_text(dialog, FILE_FIELDS[slot] + 2);
    // The file's own name is what the builder takes anyway.
    if (!name.empty() && name != base_name(*paths[slot])) *names[slot] = name;
  }
  project.stored = IsDlgButtonChecked(dialog, IDC_STORED) == BST_CHECKED;
  project.best = IsDlgButtonChecked(dialog, IDC_BEST) == BST_CHECKED;
  project.silent = IsDlgButtonChecked(dialog, IDC_SILENT) == BST_CHECKED;
  const LRESULT parts = SendDlgItemMessageA(dialog, IDC_PARTS, CB_GETCURSEL, 0, 0);
  project.main_parts = parts >= 0 && parts < 3 ? static_cast<int>(parts) + 1 : 1;
  project.confirm = unless_empty(field_text(dialog, IDC_CONFIRM));
  project.dialog = unless_empty(field_text(dialog, IDC_DIALOG));
  project.done = IsDlgButtonChecked(dialog, IDC_NO_DONE) == BST_CHECKED ? std::optional<std::string>("")
                                                                        : unless_empty(field_text(dialog, IDC_DONE));
  project.failure = unless_empty(field_text(dialog, IDC_FAILURE));
  if (!project.failure && window->no_failure_text) project.failure = "";
  project.bad_header = unless_empty(field_text(dialog, IDC_BAD_HEADER));
  if (!project.bad_header && window->no_bad_header_text) project.bad_header = "";
  for (const TextField &text : VERSION_FIELDS) project.*text.field = unless_empty(field_text(dialog, text.id));
  project.icon = field_text(dialog, IDC_ICON_FILE);
  project.output = field_text(dialog, IDC_OUTPUT);
  project.stub = window->stub;
  project.codepage = window->codepage;
  return project;
}

void file_changed(PackerWindow *window, int id) {
  if (window->showing) return;
  const int slot = (id - IDC_MAIN) / FILE_ID_STEP;
  const std::string name = field_text(window->dialog, id + 2);
  if (!name.empty() && name != window->filled_names[slot]) return;
  window->filled_names[slot] = base_name(field_text(window->dialog, id));
  set_field_text(window->dialog, id + 2, window->filled_names[slot]);
}

void update_notes(PackerWindow *window) {
  if (window->showing) return;
  const Project project = project_from_fields(window);
  update_name_notes(window, project);
  update_text_notes(window, project);
  // The library refuses these with a stored package; they stay as they are.
  EnableWindow(GetDlgItem(window->dialog, IDC_BEST), !project.stored);
  EnableWindow(GetDlgItem(window->dialog, IDC_PARTS), !project.stored);
}

void update_preview(PackerWindow *window) {
  const std::string path = system_text_for_console(field_text(window->dialog, IDC_ICON_FILE));
  HICON icon = nullptr;
  if (!path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    icon = ExtractIconA(GetModuleHandleA(nullptr), path.c_str(), 0);
    if (reinterpret_cast<UINT_PTR>(icon) <= 1) icon = nullptr;  // 1: not a file that holds icons
  }
  // Without an icon of its own the installer shows the stub's kestrel, which
  // is this program's icon too.
  HICON shown = icon ? icon : LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PACKER));
  SendDlgItemMessageA(window->dialog, IDC_ICON_PREVIEW, STM_SETICON, reinterpret_cast<WPARAM>(shown), 0);
  if (window->preview) DestroyIcon(window->preview);
  window->preview = icon;
}

void show_summary(HWND dialog, const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines) text += (text.empty() ? "" : "\r\n") + line;
  SetDlgItemTextA(dialog, IDC_SUMMARY, system_text_for_console(text).c_str());
}
