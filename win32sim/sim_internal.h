// Shared between the simulation's own files; not for tests.
#pragma once
#include <string>

// Closes every handle the simulation still has open (files and searches).
void sim_close_all_files();
// Absolute Windows form of a path; relative paths start at current_dir.
std::string sim_full_path(const std::string &windows_path);
