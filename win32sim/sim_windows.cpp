// Simulated windows and messages: another program's top-level windows in Z
// order, the thread's message queue, and the modal progress dialog with its
// two controls (the label and the progress bar).
#include <algorithm>
#include <cstring>

#include "platform/win32.h"
#include "win32sim/sim.h"

namespace {

const intptr_t DESKTOP_ID = 0x10010;
const intptr_t FIRST_WINDOW_ID = 0x20000;
const intptr_t WINDOW_ID_STEP = 16;
const int DIALOG_TEXT_ID = 1001;
const int DIALOG_BAR_ID = 1000;

HWND desktop() { return reinterpret_cast<HWND>(DESKTOP_ID); }

HWND new_window(const SimWindow &window) {
  sim().windows.push_back(window);
  return reinterpret_cast<HWND>(FIRST_WINDOW_ID + WINDOW_ID_STEP * static_cast<intptr_t>(sim().windows.size() - 1));
}

bool is_alive(HWND window) {
  SimWindow *w = sim_window(window);
  return w && w->alive;
}

bool is_progress_bar(HWND window) {
  SimWindow *w = sim_window(window);
  return w && w->ours && w->control_id == DIALOG_BAR_ID;
}

}  // namespace

SimWindow *sim_window(HWND window) {
  intptr_t id = reinterpret_cast<intptr_t>(window);
  if (id < FIRST_WINDOW_ID || (id - FIRST_WINDOW_ID) % WINDOW_ID_STEP) return nullptr;
  size_t index = static_cast<size_t>((id - FIRST_WINDOW_ID) / WINDOW_ID_STEP);
  return index < sim().windows.size() ? &sim().windows[index] : nullptr;
}

HWND sim_add_window(const std::string &title, bool visible, bool iconic, HWND parent) {
  SimWindow w;
  w.title = title;
  w.visible = visible;
  w.iconic = iconic;
  w.parent = parent;
  HWND handle = new_window(w);
  sim().z_order.push_back(handle);
  return handle;
}

HWND sim_dialog_item(int id) { return GetDlgItem(sim().dialog, id); }

// ---- Window queries ------------------------------------------------------

HWND WINAPI GetDesktopWindow(void) { return desktop(); }

HWND WINAPI GetWindow(HWND window, UINT relation) {
  std::vector<HWND> &z = sim().z_order;
  if (relation == GW_CHILD) return window == desktop() && !z.empty() ? z.front() : nullptr;
  if (relation != GW_HWNDNEXT) return nullptr;
  auto it = std::find(z.begin(), z.end(), window);
  return it == z.end() || it + 1 == z.end() ? nullptr : *(it + 1);
}

HWND WINAPI GetParent(HWND window) {
  SimWindow *w = sim_window(window);
  return w ? w->parent : nullptr;
}

// Titles compare ignoring case, as on the platform.
HWND WINAPI FindWindowA(LPCSTR, LPCSTR title) {
  for (HWND window : sim().z_order) {
    SimWindow *w = sim_window(window);
    if (w->alive && title && sim_lower(w->title) == sim_lower(title)) return window;
  }
  return nullptr;
}

BOOL WINAPI IsWindow(HWND window) { return is_alive(window); }
BOOL WINAPI IsIconic(HWND window) { return is_alive(window) && sim_window(window)->iconic; }
BOOL WINAPI IsWindowVisible(HWND window) { return is_alive(window) && sim_window(window)->visible; }

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = 0;
  if (!is_alive(window)) return 0;
  const std::string &title = sim_window(window)->title;
  int n = std::min(static_cast<int>(title.size()), size - 1);
  memcpy(buffer, title.data(), static_cast<size_t>(n));
  buffer[n] = 0;
  return n;
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
  if (!is_alive(window)) return FALSE;
  SimWindow *w = sim_window(window);
  w->title = text ? text : "";
  if (w->ours && w->control_id == DIALOG_TEXT_ID) sim().progress_text = w->title;
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
  if (window == desktop()) {
    *rect = sim().desktop_rect;
    return TRUE;
  }
  if (!is_alive(window)) return FALSE;
  *rect = sim_window(window)->rect;
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  if (!is_alive(window)) return FALSE;
  sim().moves.push_back({x, y, width, height});
  sim_window(window)->rect = {x, y, x + width, y + height};
  return TRUE;
}

BOOL WINAPI SetForegroundWindow(HWND window) {
  sim().foreground_calls.push_back(window);
  if (!is_alive(window)) return FALSE;
  sim().foreground = window;
  return TRUE;
}

// ---- Messages ------------------------------------------------------------

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  sim().posts.push_back({window, message, wparam, lparam});
  if (window && !is_alive(window)) return FALSE;
  SimWindow *w = sim_window(window);
  if (w && !w->ours) {
    // Another program's window: it takes the message in its own thread.
    if (message == WM_QUIT) w->quit_received = true;
    return TRUE;
  }
  MSG msg = {};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wparam;
  msg.lParam = lparam;
  sim().queue.push_back(msg);
  return TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT remove) {
  ++sim().peeks;
  if (sim().on_peek) sim().on_peek();
  if (sim().queue.empty()) return FALSE;
  *msg = sim().queue.front();
  if (remove & PM_REMOVE) sim().queue.pop_front();
  return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG *) { return FALSE; }

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC) {
  if (!is_alive(window) || id == 0) return 0;
  sim().timer_periods.push_back(milliseconds);
  KillTimer(window, id);
  sim().timers.push_back({window, id});
  return id;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
  auto &timers = sim().timers;
  for (auto it = timers.begin(); it != timers.end(); ++it)
    if (it->first == window && it->second == id) {
      timers.erase(it);
      return TRUE;
    }
  return FALSE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!is_alive(window)) return 0;
  SimWindow *w = sim_window(window);
  if (is_progress_bar(window)) {
    if (message == PBM_SETRANGE) {
      sim().progress_min = LOWORD(lparam);
      sim().progress_max = HIWORD(lparam);
    } else if (message == PBM_SETPOS) {
      sim().progress_positions.push_back(static_cast<int>(wparam));
    }
    return 0;
  }
  return w->proc ? w->proc(window, message, wparam, lparam) : 0;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
  sim().dispatched.push_back(*msg);
  if (!is_alive(msg->hwnd)) return 0;
  SimWindow *w = sim_window(msg->hwnd);
  if (!w->proc) return 0;
  INT_PTR handled = w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  if (msg->message == WM_PAINT && !handled) ++sim().default_paints;
  return handled;
}

// ---- Dialogs -------------------------------------------------------------

HWND WINAPI GetDlgItem(HWND dialog, int id) {
  if (!is_alive(dialog)) return nullptr;
  for (HWND child : sim_window(dialog)->children)
    if (sim_window(child)->control_id == id) return child;
  return nullptr;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  ++sim().end_dialogs;
  if (!is_alive(dialog) || !sim_window(dialog)->proc) return FALSE;
  sim_window(dialog)->end_requested = true;
  sim_window(dialog)->end_result = result;
  return TRUE;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR dialog_template, HWND, DLGPROC proc, LPARAM init) {
  SimWorld &world = sim();
  world.dialog_template = dialog_template;
  if (world.fail_dialog_creation || !proc) return -1;
  ++world.dialogs_opened;

  SimWindow frame;
  frame.ours = true;
  frame.proc = proc;
  frame.rect = world.dialog_rect;
  HWND dialog = new_window(frame);
  SimWindow label, bar;
  label.ours = bar.ours = true;
  label.parent = bar.parent = dialog;
  label.control_id = DIALOG_TEXT_ID;
  label.title = "Installing screensaver...";
  bar.control_id = DIALOG_BAR_ID;
  bar.title = "Progress1";
  HWND label_window = new_window(label);
  HWND bar_window = new_window(bar);
  sim_window(dialog)->children = {label_window, bar_window};
  world.z_order.insert(world.z_order.begin(), dialog);
  world.dialog = dialog;

  proc(dialog, WM_INITDIALOG, 0, init);
  for (int i = 0; i < world.dialog_initial_paints; ++i) PostMessageA(dialog, WM_PAINT, 0, 0);

  MSG msg;
  while (!sim_window(dialog)->end_requested) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      // Nothing queued: time passes, and the running timers fire.
      if (world.timers.empty()) {
        world.dialog_stalled = true;  // a real loop would wait forever here
        break;
      }
      for (const auto &timer : world.timers) PostMessageA(timer.first, WM_TIMER, timer.second, 0);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  INT_PTR result = sim_window(dialog)->end_requested ? sim_window(dialog)->end_result : -1;
  for (HWND part : {dialog, label_window, bar_window}) sim_window(part)->alive = false;
  auto &timers = world.timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [dialog](const std::pair<HWND, UINT_PTR> &t) { return t.first == dialog; }),
               timers.end());
  world.z_order.erase(std::find(world.z_order.begin(), world.z_order.end(), dialog));
  return result;
}
