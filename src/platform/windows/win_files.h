#pragma once
#include "platform/files.h"

namespace dravel::platform {

class WinFiles : public Files {
 public:
  bool exists(const std::string& path) override;
  bool readable(const std::string& path) override;
  std::FILE* open_inside(const std::string& dir, const std::string& name,
                         std::string& why) override;
  std::vector<std::string> serial_devices() override;
};

}  // namespace dravel::platform
