#include "platform/file_inside.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace dravel::platform {

namespace {

// The name with every link resolved, or "" with errno set.
std::string resolved(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string out = real;
  std::free(real);
  return out;
}

}  // namespace

std::FILE* open_file_inside(const std::string& dir, const std::string& name, std::string& why) {
  why.clear();
  std::string root = resolved(dir.empty() ? "." : dir);
  if (root.empty()) {
    why = "the load directory " + dir + ": " + std::strerror(errno);
    return nullptr;
  }
  if (root.back() != '/') root += '/';
  // Resolved before opening, so a link out of the directory never reaches a device's open.
  const std::string real = resolved(root + name);
  if (real.empty()) {
    if (errno != ENOENT && errno != ENOTDIR) why = std::strerror(errno);
    return nullptr;
  }
  if (real.compare(0, root.size(), root) != 0 || real.size() == root.size()) {
    why = "it leads out of " + root;
    return nullptr;
  }
  // A FIFO would block the open for ever: opened without waiting, judged by fstat.
  const int fd = ::open(real.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "not a regular file";
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) {
    why = std::strerror(errno);
    ::close(fd);
  }
  return f;
}

}  // namespace dravel::platform
