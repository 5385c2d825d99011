#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace dravel::platform {

class Files {
 public:
  virtual ~Files() = default;
  virtual bool exists(const std::string& path) = 0;
  virtual bool readable(const std::string& path) = 0;
  // The machine's serial devices, one line each: the name and what is known of the adapter.
  virtual std::vector<std::string> serial_devices() { return {}; }
  // A file the board named, open for binary reading: `name` must lead, after its links, to a
  // regular file inside `dir` ("" for the working directory). nullptr when missing (`why`
  // empty) or refused (`why` says why); nothing is read before the checks.
  virtual std::FILE* open_inside(const std::string& dir, const std::string& name,
                                 std::string& why) {
    why = "no files here";
    (void)dir, (void)name;
    return nullptr;
  }
};

}  // namespace dravel::platform
