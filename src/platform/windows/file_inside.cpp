#include "platform/file_inside.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <string>

#include "platform/windows/win_error.h"

namespace dravel::platform {

namespace {

// The name the system gives an open handle, links and junctions resolved; "" on failure.
std::string final_name(HANDLE h) {
  char buf[MAX_PATH * 4];
  const DWORD n = GetFinalPathNameByHandleA(h, buf, sizeof buf, FILE_NAME_NORMALIZED);
  return n == 0 || n >= sizeof buf ? std::string{} : std::string(buf, n);
}

bool same_start(const std::string& whole, const std::string& start) {
  if (whole.size() <= start.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(whole[i])) !=
        std::tolower(static_cast<unsigned char>(start[i])))
      return false;
  return true;
}

std::FILE* refuse(HANDLE h, std::string& why, std::string reason) {
  CloseHandle(h);
  why = std::move(reason);
  return nullptr;
}

}  // namespace

std::FILE* open_file_inside(const std::string& dir, const std::string& name, std::string& why) {
  why.clear();
  const std::string where = dir.empty() ? "." : dir;
  HANDLE d = CreateFileA(where.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (d == INVALID_HANDLE_VALUE) {
    why = "the load directory " + dir + ": " + system_error_text(GetLastError());
    return nullptr;
  }
  std::string root = final_name(d);
  CloseHandle(d);
  if (root.empty()) {
    why = "the load directory " + dir + " has no final name";
    return nullptr;
  }
  if (root.back() != '\\') root += '\\';
  // Only a file on a disk: the name check has kept pipes, devices and shares out already.
  HANDLE h = CreateFileA((where + "\\" + name).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) why = system_error_text(e);
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return refuse(h, why, "not a regular file");
  if (!same_start(final_name(h), root)) return refuse(h, why, "it leads out of " + root);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) return refuse(h, why, "no descriptor for it");
  std::FILE* f = _fdopen(fd, "rb");
  if (f == nullptr) {
    _close(fd);
    why = "no stream for it";
  }
  return f;
}

}  // namespace dravel::platform
