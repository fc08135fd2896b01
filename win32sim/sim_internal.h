// Shared between the simulation's own files; not for tests.
#pragma once
#include <string>

#include "win32sim/sim.h"

// Closes every handle the simulation still has open (files and searches).
void sim_close_all_files();
// Absolute Windows form of a path; relative paths start at current_dir.
std::string sim_full_path(const std::string &windows_path);

// ---- The drive ----
// A path as the drive spells it: absolute, components joined by '\\', "."
// and ".." resolved, case kept; a drive's root is "C:\\". Its lower-cased
// form is the key of the file or folder.
std::string sim_drive_path(const std::string &windows_path);
// Folder holding the entry whose key is given ("c:\\" for "c:\\a"; a root's
// folder is the root itself).
std::string sim_parent_key(const std::string &key);
// The file under key, or null.
SimFile *sim_find_file(const std::string &key);
bool sim_dir_exists(const std::string &key);

// ---- Faults ----
// Counts one call of the kind fail_call applies to and says whether this one
// is to fail; a failing call is recorded under its name.
bool sim_fault_injected(const char *call_name);
