#pragma once
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
};

}  // namespace dravel::platform
