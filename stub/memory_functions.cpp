// The four memory functions the compiler may call on its own (structure
// copies, zeroed arrays) and the installer uses. They are the only runtime
// functions the stub has. This file is compiled with loop-to-call pattern
// recognition off, so the loops below stay loops instead of becoming calls to
// the very functions they implement.
#include <stddef.h>

extern "C" {

void *memcpy(void *destination, const void *source, size_t count) {
  unsigned char *to = static_cast<unsigned char *>(destination);
  const unsigned char *from = static_cast<const unsigned char *>(source);
  while (count-- != 0) *to++ = *from++;
  return destination;
}

void *memmove(void *destination, const void *source, size_t count) {
  unsigned char *to = static_cast<unsigned char *>(destination);
  const unsigned char *from = static_cast<const unsigned char *>(source);
  if (to < from) {
    while (count-- != 0) *to++ = *from++;
  } else if (to > from) {
    to += count;
    from += count;
    while (count-- != 0) *--to = *--from;
  }
  return destination;
}

void *memset(void *destination, int value, size_t count) {
  unsigned char *to = static_cast<unsigned char *>(destination);
  while (count-- != 0) *to++ = static_cast<unsigned char>(value);
  return destination;
}

int memcmp(const void *left, const void *right, size_t count) {
  const unsigned char *a = static_cast<const unsigned char *>(left);
  const unsigned char *b = static_cast<const unsigned char *>(right);
  for (; count != 0; --count, ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
  }
  return 0;
}

}  // extern "C"
