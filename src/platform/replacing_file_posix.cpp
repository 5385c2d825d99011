// Compiled into the seam library on POSIX: history and dsave, above the seams, replace files.
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/replacing_file.h"

namespace dravel::platform {

namespace {

// What a new file gets: what open(..., 0666) would give under the umask.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool ReplacingFile::open(const std::string& target) {
  discard();
  errno_ = 0;
  target_ = target;
  in_place_ = false;
  mode_t mode = new_file_mode();
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) {
      errno_ = EISDIR;
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      in_place_ = true;
      file_ = std::fopen(target.c_str(), "wb");
      if (file_ == nullptr) errno_ = errno;
      return file_ != nullptr;
    }
    // A file the user may not write is not replaced behind its back.
    if (::access(target.c_str(), W_OK) != 0) {
      errno_ = errno;
      return false;
    }
    mode = st.st_mode & 07777;
  }
  const std::size_t slash = target.rfind('/');
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string pattern = dir + "." + name + ".XXXXXX";
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back('\0');
  // mkstemp: O_CREAT | O_EXCL with a name of its own, so no planted link is followed.
  const int fd = ::mkstemp(path.data());
  if (fd < 0) {
    errno_ = errno;
    return false;
  }
  temp_ = path.data();
  if (::fchmod(fd, mode) != 0 || (file_ = ::fdopen(fd, "wb")) == nullptr) {
    errno_ = errno;
    ::close(fd);
    discard();
    return false;
  }
  return true;
}

bool ReplacingFile::commit() {
  if (file_ == nullptr) return false;
  errno = 0;
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  if (!ok) errno_ = errno;
  if (!in_place_) ok = ::fsync(::fileno(file_)) == 0 && ok;
  if (std::fclose(file_) != 0 && ok) {
    errno_ = errno;
    ok = false;
  }
  file_ = nullptr;
  if (ok && !in_place_ && ::rename(temp_.c_str(), target_.c_str()) != 0) {
    errno_ = errno;
    ok = false;
  }
  if (ok) temp_.clear();
  discard();
  return ok;
}

void ReplacingFile::discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace dravel::platform
#endif
