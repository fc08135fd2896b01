// Test-side control of the simulated Win32 world: scripting (answers,
// windows, faults) and the records of what the program asked of Win32.
// Host only; uses the standard library freely.
//
// Paths are Windows paths ("C:\\WINDOWS\\SAVER.SCR"). Every drive lives in
// memory: files and folders are kept under their full path, lower-cased, so
// names compare case-insensitively while each file keeps the spelling it was
// created with. A path without a drive is relative to `current_dir`; "." and
// ".." are resolved, and '/' separates components as '\\' does.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "win32sim/win32_api.h"

struct SimMessageBox {
  std::string text;
  std::string caption;
  UINT style;
  bool dialog_open;  // a progress dialog was still on screen under the box
};

struct SimCreateFile {
  std::string path;
  DWORD access;
  DWORD share;
  DWORD disposition;
  DWORD attributes;
  bool ok;
};

struct SimPost {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

struct SimSystemParameter {
  UINT action;
  UINT param;
  PVOID data;
  UINT win_ini;
  bool ok;
};

struct SimFile {
  std::string path;  // full path as first created
  std::vector<uint8_t> bytes;
};

struct SimWindow {
  std::string title;
  bool alive = true;
  bool visible = true;
  bool iconic = false;
  HWND parent = nullptr;
  RECT rect = {0, 0, 300, 120};
  bool quit_received = false;  // another program's window asked to quit
  // Our own windows (the dialog and its controls).
  bool ours = false;
  int control_id = 0;
  DLGPROC proc = nullptr;
  bool end_requested = false;
  INT_PTR end_result = 0;
  std::vector<HWND> children;
};

struct SimWorld {
  // ---- Script ----
  std::string windows_dir = "C:\\WINDOWS";
  bool windows_dir_fails = false;
  std::string current_dir = "C:\\TEMP";
  std::string argv0 = "C:\\TEMP\\SETUP.EXE";
  std::string module_path = "C:\\TEMP\\SETUP.EXE";     // "": GetModuleFileNameA fails
  std::deque<int> message_box_answers;                 // front first; empty = IDYES / IDOK
  std::set<std::string> unopenable;                    // lower-cased paths that never open
  std::map<std::string, HWND> locked;                  // lower-cased path -> window holding it
  std::map<std::string, std::string> alternate_names;  // lower-cased path -> 8.3 name
  int64_t disk_space = -1;                             // bytes left for writes; -1 = unlimited
  bool fail_dialog_creation = false;
  int dialog_initial_paints = 1;  // WM_PAINTs queued when the dialog shows
                                  // (0: shown minimised or hidden, never painted)
  RECT desktop_rect = {0, 0, 1024, 768};
  RECT dialog_rect = {0, 0, 210, 54};
  std::function<void()> on_peek;  // runs at the start of every PeekMessageA
  // The Nth of the calls that can be made to fail (CreateFileA, ReadFile,
  // WriteFile, SetFilePointer, WritePrivateProfileStringA,
  // SystemParametersInfoA), counted together since the records were last
  // cleared, fails as the platform reports failure; later calls succeed.
  // 0 fails none.
  int fail_call = 0;

  // ---- Records ----
  std::vector<SimMessageBox> message_boxes;
  std::vector<SimCreateFile> create_files;
  std::vector<std::string> deleted_files;  // paths given to DeleteFileA that it deleted
  std::vector<DWORD> read_requests;        // byte counts asked of ReadFile
  std::vector<std::string> find_first_files;
  int find_closes = 0;
  std::vector<DWORD> sleeps;
  std::vector<SimPost> posts;
  std::vector<SimSystemParameter> system_parameters;
  std::vector<HWND> foreground_calls;
  std::vector<std::pair<DWORD, DWORD>> init_common_controls;  // (size, classes)
  std::vector<MSG> dispatched;
  int peeks = 0;
  int dialogs_opened = 0;
  int end_dialogs = 0;
  LPCSTR dialog_template = nullptr;
  bool dialog_stalled = false;  // the modal loop ran dry before EndDialog
  int default_paints = 0;       // WM_PAINTs the dialog left to the dialog manager
  std::vector<RECT> moves;      // MoveWindow as (x, y, width, height)
  int progress_min = -1;
  int progress_max = -1;
  std::vector<int> progress_positions;
  std::vector<UINT> timer_periods;  // the period of every SetTimer call, in ms
  std::string progress_text;        // last text of control 1001
  HWND foreground = nullptr;
  int fault_calls = 0;      // calls counted towards fail_call
  std::string failed_call;  // name of the call fail_call made fail, "" if none

  // ---- State ----
  std::map<std::string, SimFile> files;  // lower-cased full path -> file
  std::set<std::string> dirs;            // lower-cased full paths of folders
  std::deque<SimWindow> windows;         // deque: pointers stay valid as it grows
  std::vector<HWND> z_order;             // top-level windows, top first
  std::deque<MSG> queue;
  HWND dialog = nullptr;
  std::vector<std::pair<HWND, UINT_PTR>> timers;  // running timers (window, id)
};

SimWorld &sim();

// A fresh world: empty drives holding only the Windows and current folders,
// default script, no records, no windows, no open handles.
void sim_reset();
// Forgets the records only (for after a test has built its package).
void sim_clear_records();

// ---- Files ----
// Creates or replaces a file, making its folders as needed.
void sim_write_file(const std::string &windows_path, const std::vector<uint8_t> &bytes);
// A file's bytes; empty when there is no such file.
std::vector<uint8_t> sim_read_file(const std::string &windows_path);
bool sim_file_exists(const std::string &windows_path);
// Makes a folder and every folder above it.
void sim_make_dir(const std::string &windows_path);
// Every file on every drive, by full path as created, in path order.
std::vector<std::string> sim_list_files();
std::string sim_lower(std::string text);
int sim_open_handles();
// Reads a value back from a profile file, "" when absent.
std::string sim_profile_string(const std::string &windows_path, const std::string &section, const std::string &key);

// ---- Windows ----
// Adds another program's top-level window below the existing ones.
HWND sim_add_window(const std::string &title, bool visible = true, bool iconic = false, HWND parent = nullptr);
SimWindow *sim_window(HWND window);
HWND sim_dialog_item(int id);  // control of the open (or last) dialog
