// kestrune-demo.scr: a tiny screen saver to package and install.
//
//   /s          full screen: stars drift out of the dark towards the viewer
//               and a crescent moon glides across; any key, click or real
//               mouse movement ends it
//   /p HWND     draws the same scene small inside the preview window HWND;
//               exits at once when HWND is not a window
//   /c[:HWND]   says that there is nothing to set up (so does no argument)
//
// Plain Win32 and GDI, double-buffered, one timer.
#include <windows.h>

namespace {

enum {
  STAR_COUNT = 160,
  FRAME_MS = 33,
  DEPTH = 1024,
  MOUSE_SLACK = 6,  // pixels the mouse may wander before the saver ends
};

const char WINDOW_CLASS[] = "KestruneDemoSaver";
const char TITLE[] = "Kestrune demo";

struct Star {
  int x, y;  // position in a 2048 x 2048 plane around the centre
  int z;     // distance, DEPTH .. 1
  int speed;
};

struct Scene {
  Star stars[STAR_COUNT];
  unsigned random_state;
  int frame;
  bool full_screen;
  bool have_mouse;
  POINT first_mouse;
  HDC buffer_dc;
  HBITMAP buffer_bitmap;
  HGDIOBJ old_bitmap;
  int width, height;
} scene;

unsigned next_random() {
  scene.random_state = scene.random_state * 1103515245u + 12345u;
  return scene.random_state >> 8;
}

void place_star(Star &star, bool anywhere) {
  star.x = static_cast<int>(next_random() % 2048) - 1024;
  star.y = static_cast<int>(next_random() % 2048) - 1024;
  star.z = anywhere ? 1 + static_cast<int>(next_random() % DEPTH) : DEPTH;
  star.speed = 4 + static_cast<int>(next_random() % 10);
}

void init_scene(bool full_screen) {
  scene.random_state = GetTickCount() | 1u;
  scene.full_screen = full_screen;
  for (Star &star : scene.stars) place_star(star, true);
}

void resize_buffer(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  int width = client.right - client.left;
  int height = client.bottom - client.top;
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  if (scene.buffer_dc != nullptr && width == scene.width && height == scene.height) return;
  if (scene.buffer_dc != nullptr) {
    SelectObject(scene.buffer_dc, scene.old_bitmap);
    DeleteObject(scene.buffer_bitmap);
    DeleteDC(scene.buffer_dc);
  }
  HDC screen = GetDC(window);
  scene.buffer_dc = CreateCompatibleDC(screen);
  scene.buffer_bitmap = CreateCompatibleBitmap(screen, width, height);
  scene.old_bitmap = SelectObject(scene.buffer_dc, scene.buffer_bitmap);
  ReleaseDC(window, screen);
  scene.width = width;
  scene.height = height;
}

void draw_moon(HDC dc) {
  // The moon crosses the upper sky once every 60 s or so, then comes round.
  int radius = scene.height / 10 + 2;
  int span = scene.width + 4 * radius;
  int x = (scene.frame * (scene.width / 300 + 1)) % span - 2 * radius;
  int y = scene.height / 5 + (x * x) / (8 * scene.width + 1) - scene.height / 12;
  HBRUSH light = CreateSolidBrush(RGB(250, 232, 140));
  HBRUSH dark = CreateSolidBrush(RGB(0, 0, 24));
  HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
  HGDIOBJ old_brush = SelectObject(dc, light);
  Ellipse(dc, x - radius, y - radius, x + radius, y + radius);
  SelectObject(dc, dark);
  int shift = radius / 2;
  Ellipse(dc, x - radius + shift, y - radius - shift / 2, x + radius + shift, y + radius - shift / 2);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(light);
  DeleteObject(dark);
}

void draw_frame(HWND window) {
  resize_buffer(window);
  HDC dc = scene.buffer_dc;
  RECT all = {0, 0, scene.width, scene.height};
  HBRUSH sky = CreateSolidBrush(RGB(0, 0, 24));
  FillRect(dc, &all, sky);
  DeleteObject(sky);
  draw_moon(dc);

  int centre_x = scene.width / 2;
  int centre_y = scene.height / 2;
  int scale = scene.width > scene.height ? scene.width : scene.height;
  for (Star &star : scene.stars) {
    star.z -= star.speed;
    if (star.z < 1) place_star(star, false);
    int sx = centre_x + star.x * scale / (2 * star.z);
    int sy = centre_y + star.y * scale / (2 * star.z);
    if (sx < 0 || sy < 0 || sx >= scene.width || sy >= scene.height) {
      place_star(star, false);
      continue;
    }
    int light = 255 - star.z * 200 / DEPTH;
    int size = 1 + (DEPTH - star.z) * 3 / DEPTH;
    if (!scene.full_screen && size > 1) size = size / 2 + 1;
    RECT dot = {sx, sy, sx + size, sy + size};
    HBRUSH brush = CreateSolidBrush(RGB(light, light, light * 7 / 8 + 32));
    FillRect(dc, &dot, brush);
    DeleteObject(brush);
  }
  ++scene.frame;

  HDC screen = GetDC(window);
  BitBlt(screen, 0, 0, scene.width, scene.height, dc, 0, 0, SRCCOPY);
  ReleaseDC(window, screen);
}

bool mouse_moved_enough(LPARAM lparam) {
  POINT now = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  if (!scene.have_mouse) {
    scene.have_mouse = true;
    scene.first_mouse = now;
    return false;
  }
  int dx = now.x - scene.first_mouse.x;
  int dy = now.y - scene.first_mouse.y;
  return dx > MOUSE_SLACK || dx < -MOUSE_SLACK || dy > MOUSE_SLACK || dy < -MOUSE_SLACK;
}

LRESULT CALLBACK saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: SetTimer(window, 1, FRAME_MS, nullptr); return 0;
    case WM_TIMER: draw_frame(window); return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      draw_frame(window);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
      if (scene.full_screen) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (scene.full_screen && mouse_moved_enough(lparam)) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (scene.full_screen) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_ACTIVATEAPP:
      if (scene.full_screen && wparam == FALSE) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_DESTROY:
      KillTimer(window, 1);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// The first argument after the program name, and the number after it
// ("/p 1234" or "/c:1234"), from the raw command line.
char parse_arguments(const char *line, HWND *parent) {
  bool quoted = false;
  while (*line != '\0' && (quoted || (*line != ' ' && *line != '\t'))) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  char mode = 'c';
  if (*line == '/' || *line == '-') {
    mode = static_cast<char>(line[1] | 0x20);
    line += 2;
  }
  while (*line == ':' || *line == ' ' || *line == '\t') ++line;
  UINT_PTR number = 0;
  while (*line >= '0' && *line <= '9') number = number * 10 + static_cast<UINT_PTR>(*line++ - '0');
  *parent = reinterpret_cast<HWND>(number);
  return mode;
}

int run_window(HINSTANCE instance, HWND parent) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = saver_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.lpszClassName = WINDOW_CLASS;
  RegisterClassA(&window_class);

  HWND window;
  if (parent != nullptr) {
    RECT area;
    GetClientRect(parent, &area);
    window = CreateWindowExA(0, WINDOW_CLASS, TITLE, WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom, parent,
                             nullptr, instance, nullptr);
  } else {
    window =
        CreateWindowExA(WS_EX_TOPMOST, WINDOW_CLASS, TITLE, WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
  }
  if (window == nullptr) return 0;

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  HWND parent = nullptr;
  char mode = parse_arguments(GetCommandLineA(), &parent);
  if (mode == 's') {
    init_scene(true);
    return run_window(instance, nullptr);
  }
  if (mode == 'p') {
    if (parent == nullptr || !IsWindow(parent)) return 0;
    init_scene(false);
    return run_window(instance, parent);
  }
  MessageBoxA(parent != nullptr && IsWindow(parent) ? parent : nullptr,
              "This screen saver has no settings.\n\nIt shows drifting stars "
              "and a crescent moon.",
              TITLE, MB_OK | MB_ICONINFORMATION);
  return 0;
}
