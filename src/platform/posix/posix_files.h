#pragma once
#include <utility>

#include "platform/files.h"

namespace dravel::platform {

class PosixFiles : public Files {
 public:
  // `root` is put before /dev and /sys when listing devices (a made-up tree in tests).
  explicit PosixFiles(std::string root = "") : root_(std::move(root)) {}
  bool exists(const std::string& path) override;
  bool readable(const std::string& path) override;
  std::FILE* open_inside(const std::string& dir, const std::string& name,
                         std::string& why) override;
  std::vector<std::string> serial_devices() override;

 private:
  std::string root_;
};

}  // namespace dravel::platform
