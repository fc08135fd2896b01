// A build on a worker thread, so that the window stays responsive and the
// build can be cancelled. The codec's state is process-wide, so the window
// runs one build at a time; the worker touches nothing of the window but
// the messages it posts.
// window.h first: it sets the Windows version the system headers declare.
#include "tools/gui/window.h"

#include <commctrl.h>

#include <new>

#include "tools/gui/project_build.h"
#include "tools/gui/resource_ids.h"

// One build: its files and request, made on the window's thread before the
// worker starts, and what the worker found.
struct BuildJob {
  HWND window = nullptr;
  ProjectFiles files;
  PackageRequest request;
  BuildReport report;
  volatile LONG cancelled = 0;
  volatile LONG permille = 0;         // the bar's latest position
  volatile LONG progress_posted = 0;  // a WM_BUILD_PROGRESS waits in the queue
  HANDLE thread = nullptr;
};

namespace {

// The bar's position goes to the window only when it moves, and then by at
// most one message in the window's queue at a time: posted messages come
// before input, so a stream of them would keep keys and clicks (Esc,
// Cancel) from the window for as long as the build runs. The answer is
// whether to go on.
class WindowProgress : public Progress {
 public:
  explicit WindowProgress(BuildJob *job) : job_(job) {}
  bool advance(uint64_t done, uint64_t total) override {
    const int permille = total ? static_cast<int>(done * 1000 / total) : 0;
    if (permille == last_) return job_->cancelled == 0;
    last_ = permille;
    InterlockedExchange(&job_->permille, permille);
    if (InterlockedExchange(&job_->progress_posted, 1) == 0) PostMessageA(job_->window, WM_BUILD_PROGRESS, 0, 0);
    return job_->cancelled == 0;
  }

 private:
  BuildJob *job_;
  int last_ = -1;
};

DWORD WINAPI run_job(void *parameter) {
  BuildJob *job = static_cast<BuildJob *>(parameter);
  try {
    WindowProgress progress(job);
    job->report = run_build(job->request, &job->files, &progress);
  } catch (const std::bad_alloc &) {
    job->files.output.abandon();
    job->report = BuildReport();
    job->report.error = "out of memory";
  } catch (const std::exception &failure) {
    job->files.output.abandon();
    job->report = BuildReport();
    job->report.error = std::string("internal error: ") + failure.what();
  }
  PostMessageA(job->window, WM_BUILD_DONE, 0, 0);
  return 0;
}

// Every control but the progress bar, the summary and the Build button,
// which becomes Cancel, is off while a build runs.
void enable_fields(HWND dialog, bool enable) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(child);
    if (id != IDOK && id != IDC_PROGRESS && id != IDC_SUMMARY) EnableWindow(child, enable);
  }
  SetDlgItemTextA(dialog, IDOK, enable ? "&Build" : "Cancel");
}

}  // namespace

bool start_build(PackerWindow *window, const Project &project, std::string *error) {
  BuildJob *job = new BuildJob;
  job->window = window->dialog;
  if (!prepare_build(project, &job->files, &job->request, error)) {
    delete job;
    return false;
  }
  show_summary(window->dialog, {"Building " + project.output + "..."});
  SendDlgItemMessageA(window->dialog, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  DWORD thread_id = 0;
  job->thread = CreateThread(nullptr, 0, run_job, job, 0, &thread_id);
  if (!job->thread) {
    *error = "cannot start the build: " + system_error_text(static_cast<int>(GetLastError()));
    delete job;
    return false;
  }
  window->job = job;
  enable_fields(window->dialog, false);
  SetFocus(GetDlgItem(window->dialog, IDOK));
  return true;
}

void cancel_build(PackerWindow *window) {
  if (window->job) InterlockedExchange(&window->job->cancelled, 1);
}

void show_build_progress(PackerWindow *window) {
  if (!window->job) return;
  InterlockedExchange(&window->job->progress_posted, 0);
  SendDlgItemMessageA(window->dialog, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(window->job->permille), 0);
}

void finish_build(PackerWindow *window) {
  BuildJob *job = window->job;
  if (!job) return;
  WaitForSingleObject(job->thread, INFINITE);
  CloseHandle(job->thread);
  window->job = nullptr;
  const BuildReport report = job->report;
  delete job;  // closes the files; an output not put in place is removed
  HWND dialog = window->dialog;
  enable_fields(dialog, true);
  update_notes(window);
  SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, report.ok ? 1000 : 0, 0);
  if (report.ok) {
    show_summary(dialog, report.lines);
  } else if (report.cancelled) {
    show_summary(dialog, {"Cancelled; nothing was written."});
  } else {
    show_summary(dialog, {});
    show_message(dialog, report.error, MB_OK | MB_ICONSTOP);
  }
}
