#pragma once
#include "platform/files.h"

namespace dravel::platform {

class WinFiles : public Files {
 public:
  bool exists(const std::string& path) override;
  bool readable(const std::string& path) override;
};

}  // namespace dravel::platform
