// A project of Kestrune Packer: what the window's fields hold, kept as the
// arguments of "kestrune-pack build" in an argument file
// (tools/args/arguments.h), so that "kestrune-pack build @project.args"
// builds what the window builds. Relative paths in a project are taken
// against the project file's folder, and a saved project names the files in
// or below its folder relatively, so the folder can move as a whole, even to
// another system.
//
// Paths and texts are UTF-8, as everywhere in tools/.
#pragma once
#include <optional>
#include <string>

#include "tools/args/arguments.h"

struct Project {
  std::string main, second, extra;  // paths; extra "" for none
  // The installed names; not given: the base name of the file.
  std::optional<std::string> main_name, second_name, extra_name;
  int main_parts = 1;
  bool stored = false, best = false, silent = false;
  // Not given: the default; given as "": none (as the options of the same names).
  std::optional<std::string> confirm, done, failure, bad_header, dialog;
  std::string icon;  // path; "" for none
  std::optional<std::string> product_name, product_version, company, copyright, description;
  std::string output;    // the installer to write
  std::string stub;      // "" : the stub built into the tool
  std::string codepage;  // --codepage as written; "" : the system's own
};

// Whether two projects are one: they write the same project file.
bool same_project(const Project &a, const Project &b);

// The project as build arguments, paths in or below folder (a project file's
// folder, ending in its separator; "" for none) written relative to it.
// Options left at their defaults are not written.
Arguments project_arguments(const Project &project, const std::string &folder);

// The text of a project file: those arguments, quoted where needed, a few to
// a line, each line ending in CR LF.
std::string project_file_text(const Project &project, const std::string &folder);

// The project the arguments describe. False with *problem ("unknown option
// '--bogus'", "--main-parts must be 1, 2 or 3") when they are not a build's.
bool project_from_arguments(const Arguments &args, Project *project, std::string *problem);

// Reads the project file at path (read_argument_file, then as above). False
// with *error, which names the file.
bool read_project(const std::string &path, Project *project, std::string *error);

// Writes project_file_text to path, in the system's code page, replacing an
// older file in one step (OutputFile). False with *error.
bool write_project(const std::string &path, const Project &project, std::string *error);

// path as a project in folder writes it: the part after folder when path
// lies in or below it (compared as the system compares names; with '/'
// between folders, which every system takes), else path.
std::string path_in_project(const std::string &path, const std::string &folder);
