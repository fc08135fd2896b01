// What Windows itself reads from a branded installer: its icons through the
// shell and the resource calls, its version information through VERSION.DLL.
// Run by check_branding.py under Wine; prints one "key=value" line each, text
// as the A calls return it (bytes above 0x7E as \xNN).
//
//   branding_probe FILE
#include <stdio.h>
#include <windows.h>

namespace {

const char *const STRING_NAMES[] = {"ProductName",    "ProductVersion",  "FileVersion",     "CompanyName",
                                    "LegalCopyright", "FileDescription", "OriginalFilename"};

void print_text(const char *key, const char *text) {
  printf("%s=", key);
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
    if (*p < 0x20 || *p > 0x7E || *p == '\\')
      printf("\\x%02X", *p);
    else
      putchar(*p);
  }
  printf("\n");
}

void print_icon_size(const char *key, HICON icon) {
  ICONINFO info;
  BITMAP bitmap;
  if (!icon || !GetIconInfo(icon, &info)) {
    printf("%s=none\n", key);
    return;
  }
  HBITMAP shown = info.hbmColor ? info.hbmColor : info.hbmMask;
  if (GetObjectA(shown, sizeof bitmap, &bitmap))
    printf("%s=%ldx%ld\n", key, bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
}

void probe_icons(const char *path) {
  printf("icon_groups=%u\n", ExtractIconExA(path, -1, NULL, NULL, 0));
  HICON large = NULL, small = NULL;
  ExtractIconExA(path, 0, &large, &small, 1);
  print_icon_size("large", large);
  print_icon_size("small", small);
  if (large) DestroyIcon(large);
  if (small) DestroyIcon(small);

  // The group the dialog shows, and which of its images Windows picks.
  HMODULE module = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(1020), MAKEINTRESOURCEA(14)) : NULL;
  BYTE *group = found ? static_cast<BYTE *>(LockResource(LoadResource(module, found))) : NULL;
  if (!group) {
    printf("group_1020=none\n");
    return;
  }
  printf("group_1020_images=%u\n", *reinterpret_cast<WORD *>(group + 4));
  const int sides[] = {16, 32};
  for (int side : sides) {
    const int id = LookupIconIdFromDirectoryEx(group, TRUE, side, side, LR_DEFAULTCOLOR);
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));
    HICON icon = NULL;
    if (image)
      icon = CreateIconFromResourceEx(static_cast<BYTE *>(LockResource(LoadResource(module, image))),
                                      SizeofResource(module, image), TRUE, 0x00030000, side, side, LR_DEFAULTCOLOR);
    char key[32];
    snprintf(key, sizeof key, "lookup_%d_id", side);
    printf("%s=%d\n", key, id);
    snprintf(key, sizeof key, "lookup_%d", side);
    print_icon_size(key, icon);
    if (icon) DestroyIcon(icon);
  }
  FreeLibrary(module);
}

void probe_version(const char *path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  printf("version_size=%lu\n", size);
  static char data[65536];
  if (!size || size > sizeof data || !GetFileVersionInfoA(path, 0, size, data)) return;
  VS_FIXEDFILEINFO *fixed = NULL;
  UINT length = 0;
  if (VerQueryValueA(data, "\\", reinterpret_cast<void **>(&fixed), &length) && fixed) {
    printf("signature=0x%08lX\n", fixed->dwSignature);
    printf("file_version=%lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
           fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
    printf("product_version=%lu.%lu.%lu.%lu\n", fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
           fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
    printf("file_os=0x%lX\nfile_type=0x%lX\n", fixed->dwFileOS, fixed->dwFileType);
  }
  WORD *translation = NULL;
  if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation), &length) ||
      length < 4) {
    printf("translation=none\n");
    return;
  }
  printf("translation=%04X%04X\n", translation[0], translation[1]);
  // The strings under the key the translation names, as programs look them up.
  for (const char *name : STRING_NAMES) {
    char query[128];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\%s", translation[0], translation[1], name);
    char *text = NULL;
    if (VerQueryValueA(data, query, reinterpret_cast<void **>(&text), &length) && text)
      print_text(name, text);
    else
      printf("%s=none\n", name);
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: branding_probe FILE\n");
    return 2;
  }
  probe_icons(argv[1]);
  probe_version(argv[1]);
  return 0;
}
