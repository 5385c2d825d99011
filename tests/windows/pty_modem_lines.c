/* Modem lines for a pty, preloaded into Wine for its check: a Wine COM port is a pty there,
 * and a pty refuses TIOCMGET/TIOCMSET, so EscapeCommFunction(SETDTR) could never succeed.
 * This machine has no tty with real modem lines, so the lines are kept here instead, and every
 * change is written to $PTY_MODEM_LOG as "<monotonic ms> DTR=<0|1> RTS=<0|1>" for the check to
 * read. Calls the kernel takes pass through untouched. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

static int lines = TIOCM_DTR | TIOCM_RTS;

static void log_lines(void) {
  const char* name = getenv("PTY_MODEM_LOG");
  if (name == NULL) return;
  FILE* f = fopen(name, "a");
  if (f == NULL) return;
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  fprintf(f, "%lld DTR=%d RTS=%d\n", (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000,
          (lines & TIOCM_DTR) != 0, (lines & TIOCM_RTS) != 0);
  fclose(f);
}

int ioctl(int fd, unsigned long request, ...) {
  static int (*real)(int, unsigned long, ...);
  if (real == NULL) real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  const int r = real(fd, request, arg);
  const int modem = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS ||
                    request == TIOCMBIC;
  if (r == 0 || !modem || errno != ENOTTY || !isatty(fd) || arg == NULL) return r;
  const int* bits = (const int*)arg;
  const int before = lines;
  switch (request) {
    case TIOCMGET:
      /* Carrier and DSR up, as a board that is powered shows them. */
      *(int*)arg = lines | TIOCM_CAR | TIOCM_DSR | TIOCM_CTS;
      return 0;
    case TIOCMSET:
      lines = *bits & (TIOCM_DTR | TIOCM_RTS);
      break;
    case TIOCMBIS:
      lines |= *bits & (TIOCM_DTR | TIOCM_RTS);
      break;
    default:
      lines &= ~*bits;
      break;
  }
  if (lines != before) log_lines();
  return 0;
}
