#pragma once
#include <string>

namespace dravel::platform {

class Files {
 public:
  virtual ~Files() = default;
  virtual bool exists(const std::string& path) = 0;
  virtual bool readable(const std::string& path) = 0;
};

}  // namespace dravel::platform
