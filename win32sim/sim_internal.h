// Shared between the simulation's own files; not for tests.
#pragma once
#include <string>

#include "win32sim/sim.h"

// Closes every handle the simulation still has open (files and searches).
void sim_close_all_files();

// ---- The drive ----
// A path as the drive spells it: absolute (a path without a drive starts at
// current_dir), components joined by '\\', "." and ".." resolved, case kept;
// a drive's root is "C:\\".
std::string sim_drive_path(const std::string &windows_path);
// The lower-cased drive path: the key of the file or folder.
std::string sim_drive_key(const std::string &windows_path);
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
