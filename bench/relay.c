/* The least a terminal can do: its own tty raw, bytes copied both ways between it and a
 * serial device as soon as poll() says they are there. The latency baseline.
 *   relay DEVICE */
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

static int make_raw(int fd) {
  struct termios t;
  if (tcgetattr(fd, &t) != 0) return -1;
  cfmakeraw(&t);
  return tcsetattr(fd, TCSANOW, &t);
}

static int copy(int from, int to) {
  char buf[4096];
  ssize_t n = read(from, buf, sizeof buf);
  if (n <= 0) return -1;
  for (ssize_t done = 0; done < n;) {
    ssize_t w = write(to, buf + done, (size_t)(n - done));
    if (w <= 0) return -1;
    done += w;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: relay DEVICE\n");
    return 2;
  }
  int dev = open(argv[1], O_RDWR | O_NOCTTY);
  if (dev < 0 || make_raw(dev) != 0 || make_raw(0) != 0) {
    perror(argv[1]);
    return 1;
  }
  printf("relay ready\r\n");
  fflush(stdout);
  struct pollfd fds[2] = {{0, POLLIN, 0}, {dev, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) return 1;
    if (fds[0].revents && copy(0, dev) != 0) return 0;
    if (fds[1].revents && copy(dev, 1) != 0) return 0;
  }
}
