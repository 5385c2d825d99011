// Compiled into the seam library on Windows: history and dsave, above the seams, replace files.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <random>
#include <string>

#include "platform/replacing_file.h"

namespace dravel::platform {

namespace {

constexpr int NAME_TRIES = 16;

// The C library's number for the system's error, for the same message on every platform.
int errno_for(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

}  // namespace

bool ReplacingFile::open(const std::string& target) {
  discard();
  errno_ = 0;
  target_ = target;
  const DWORD attributes = GetFileAttributesA(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    errno_ = EACCES;
    return false;
  }
  const std::size_t slash = target.find_last_of("/\\");
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  // The old file's attributes that say how it is kept; read-only ones were refused above.
  const DWORD kept =
      exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE)
             : 0;
  std::random_device pick;
  for (int i = 0; i < NAME_TRIES && file_ == nullptr; ++i) {
    const std::string name = dir + "~dravel" + std::to_string(pick() % 1000000) + ".tmp";
    // CREATE_NEW fails on any existing name, a planted link included.
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      errno_ = errno_for(GetLastError());
      return false;
    }
    temp_ = name;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
      CloseHandle(h);
    } else if ((file_ = _fdopen(fd, "wb")) == nullptr) {
      _close(fd);
    }
    if (file_ == nullptr) {
      errno_ = EIO;
      discard();
      return false;
    }
  }
  if (file_ == nullptr) errno_ = EEXIST;
  return file_ != nullptr;
}

bool ReplacingFile::commit() {
  if (file_ == nullptr) return false;
  errno = 0;
  bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  if (!ok) errno_ = errno;
  if (std::fclose(file_) != 0 && ok) {
    errno_ = errno;
    ok = false;
  }
  file_ = nullptr;
  if (ok && !MoveFileExA(temp_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    errno_ = errno_for(GetLastError());
    ok = false;
  }
  if (ok) temp_.clear();
  discard();
  return ok;
}

void ReplacingFile::discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) DeleteFileA(temp_.c_str());
  temp_.clear();
}

}  // namespace dravel::platform
#endif
