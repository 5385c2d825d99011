// Files hold exactly the bytes written, as on POSIX: text-mode translation would turn the
// target's own "\r\n" in the log into "\r\r\n".
#include <fcntl.h>
#include <stdlib.h>

namespace {

struct BinaryFileMode {
  BinaryFileMode() { _fmode = _O_BINARY; }
};
const BinaryFileMode binary_file_mode;

}  // namespace

// Named on the link line so every program that links the platform layer takes this file.
extern "C" const int dravel_binary_file_mode = 1;
