#include "fuzz_platform.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/keyboard.h"

namespace dravel::fuzz {

namespace {
// Far beyond any wait with a time limit (they count whole seconds of the clock).
constexpr long WAIT_LIMIT = 1'000'000;
}  // namespace

bool Console::key_waiting() {
  if (!keys.empty() || queue == nullptr || queue->count == 0) return true;
  int newest = (queue->write_index + KeyQueue::CAPACITY - 1) % KeyQueue::CAPACITY;
  return queue->data[static_cast<std::size_t>(newest)] != key::ESC;
}

KeyCode Console::read_key() {
  if (keys.empty()) return key::ESC;
  KeyCode k = keys.front();
  keys.pop_front();
  return k;
}

void Idle::wait(int timeout_ms, bool /*output_room*/) {
  clock_.ms += timeout_ms > 0 ? timeout_ms : 1;
  if (++waits_ > WAIT_LIMIT) {
    std::fprintf(stderr, "idle wait never ends\n");
    std::abort();
  }
}

platform::OpenResult Serial::open(const std::string&, long) {
  open_ = true;
  return {true, {}, {}};
}

long Serial::read(std::uint8_t* buf, std::size_t max) {
  std::size_t n = std::min(max, incoming.size() - read_pos_);
  std::memcpy(buf, incoming.data() + read_pos_, n);
  read_pos_ += n;
  return static_cast<long>(n);
}

long Serial::write(const std::uint8_t* data, std::size_t n) {
  written.append(reinterpret_cast<const char*>(data), n);
  for (std::size_t i = 0; i < n; ++i)
    if (data[i] == '\n') incoming += answer_per_line;
  return static_cast<long>(n);
}

MemFile::MemFile() {
  fd_ = ::memfd_create("fuzz-input", 0);
  if (fd_ < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

void MemFile::set(const std::uint8_t* data, std::size_t size) {
  if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)) {
    std::perror("memfd write");
    std::abort();
  }
}

namespace {
std::string g_scratch;
void remove_scratch_dir() {
  std::error_code ec;
  std::filesystem::remove_all(g_scratch, ec);
}
}  // namespace

void enter_scratch_dir() {
  if (!g_scratch.empty()) return;
  // In memory where there is such a file system: a disk file system flushes on every close.
  std::error_code ec;
  std::string base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
  std::string templ = base + "/dravel-fuzz-XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr || ::chdir(templ.c_str()) != 0) {
    std::perror("scratch directory");
    std::abort();
  }
  g_scratch = templ;
  std::atexit(remove_scratch_dir);
}

void clear_scratch_dir(const char* keep) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(".", ec)) {
    if (keep != nullptr && e.path().filename() == keep) continue;
    fs::remove_all(e.path(), ec);
  }
}

}  // namespace dravel::fuzz
