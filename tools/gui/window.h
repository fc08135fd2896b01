// Kestrune Packer's main window: a modeless dialog (packer.rc) over one
// project. window.cpp answers the dialog's messages, fields.cpp moves a
// project in and out of the controls and keeps the notes beside them up to
// date, build_job.cpp runs a build on a worker thread.
//
// Everything here runs on the window's thread except the worker's build.
// Texts cross into the controls in the system's ANSI code page and are UTF-8
// everywhere else, as in tools/files.
#pragma once
#define WIN32_LEAN_AND_MEAN
#define WINVER 0x0400
#define _WIN32_WINNT 0x0400
#define _WIN32_IE 0x0300
#include <windows.h>

#include <string>
#include <vector>

#include "tools/gui/project.h"

// Posted by the worker: the bar has moved (show_build_progress), and the
// build's end.
enum { WM_BUILD_PROGRESS = WM_APP + 1, WM_BUILD_DONE = WM_APP + 2 };

struct BuildJob;

struct PackerWindow {
  HWND dialog = nullptr;
  std::string project_path;  // "" until a project is opened or saved
  Project saved;             // the project as last opened or saved, to tell unsaved changes
  // What a project holds that has no field: kept as it came.
  std::string stub, codepage;
  // The names last filled in from their files (main, second, extra): a name
  // that still holds one follows when its file changes.
  std::string filled_names[3];
  // A project may set the failure and damaged texts to none, which an empty
  // field cannot say (empty means the default); kept until the next project.
  bool no_failure_text = false, no_bad_header_text = false;
  bool name_problem[3] = {};  // the note under a name tells a problem (shown in red)
  bool showing = false;       // the fields are being filled from a project
  HICON preview = nullptr;
  BuildJob *job = nullptr;  // the build running, if any
  bool close_when_built = false;
};

// ---- fields.cpp ----
// A field's text as UTF-8, and back. A path field's text is made a full path.
std::string field_text(HWND dialog, int id);
void set_field_text(HWND dialog, int id, const std::string &text);
// Fills every field from project.
void show_project(PackerWindow *window, const Project &project);
// The project the fields hold.
Project project_from_fields(PackerWindow *window);
// A file field changed: its name follows when it still holds the file's name.
void file_changed(PackerWindow *window, int id);
// The notes (names refused, short names, what an empty text means), the
// icon's preview and which options apply.
void update_notes(PackerWindow *window);
void update_preview(PackerWindow *window);
// The summary under the fields, one line each.
void show_summary(HWND dialog, const std::vector<std::string> &lines);

// ---- build_job.cpp ----
// Opens the project's files and starts the build on a worker. False with
// *error (nothing is written) when the files cannot be opened.
bool start_build(PackerWindow *window, const Project &project, std::string *error);
// Asks the running build to stop; it ends with WM_BUILD_DONE as usual.
void cancel_build(PackerWindow *window);
// On WM_BUILD_PROGRESS: the bar at the worker's latest position.
void show_build_progress(PackerWindow *window);
// On WM_BUILD_DONE: the worker's end, its summary or its message.
void finish_build(PackerWindow *window);

// ---- window.cpp ----
// Creates the window, with the project at project_path opened when given.
HWND create_packer_window(HINSTANCE instance, PackerWindow *window, const std::string &project_path);
// A message box over owner with text (UTF-8).
void show_message(HWND owner, const std::string &text, UINT style);
