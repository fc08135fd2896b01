// Building a project's installer the way "kestrune-pack build" builds it
// from the same arguments: the same request, the same files opened with the
// same rules (tools/files), the installer read back before it takes its
// name, and the same messages. Split in two so that the window opens the
// files on its own thread and runs the long part on a worker.
#pragma once
#include <string>
#include <vector>

#include "package/build.h"
#include "package/builtin_stub.h"
#include "tools/files/file_streams.h"
#include "tools/gui/project.h"

// The files one build reads and writes.
struct ProjectFiles {
  MemorySource builtin{BUILTIN_STUB, BUILTIN_STUB_SIZE};
  FileSource stub, main, second, extra, icon;
  OutputFile output;
};

// The request for project, its inputs opened and its output prepared. False
// with *error, the console tool's message ("--main is required",
// "C:\SAVERS\NIGHT.SCR: The system cannot find the file specified.",
// "SETUP.EXE: is the same file as the input ..."), when something is
// missing or a file cannot be opened; nothing is written then.
bool prepare_build(const Project &project, ProjectFiles *files, PackageRequest *request, std::string *error);

// The code page the project's names and texts are written in (its
// --codepage, or the system's own) and the form the library takes them in.
int project_codepage(const Project &project, TextForm *form);

// The payload's bytes, for a progress bar over the whole build.
uint64_t payload_size(const PackageRequest &request);

struct BuildReport {
  bool ok = false;
  bool cancelled = false;          // progress said stop; nothing was written
  std::string error;               // when neither: the console tool's message ("build: ...")
  std::vector<std::string> lines;  // when ok: the notes and the summary the console tool prints
};

// Builds, reads the installer back, and puts it in place (or abandons it).
// progress sees the build and then the check, each counted from 0.
BuildReport run_build(const PackageRequest &request, ProjectFiles *files, Progress *progress);
