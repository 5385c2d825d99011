#pragma once
#include "platform/files.h"

namespace dravel::platform {

class WinFiles : public Files {
 public:
  bool exists(const std::string& path) override;
  bool readable(const std::string& path) override;
  std::vector<std::string> serial_devices() override;
};

}  // namespace dravel::platform
