#pragma once
// The Win32 serial device: a COM port with reads that return at once.
#include <windows.h>

#include <string>

#include "platform/serial_device.h"

namespace dravel::platform {

class WinSerialDevice : public SerialDevice {
 public:
  WinSerialDevice() = default;
  WinSerialDevice(const WinSerialDevice&) = delete;
  WinSerialDevice& operator=(const WinSerialDevice&) = delete;
  ~WinSerialDevice() override { close(); }

  OpenResult open(const std::string& path, long baud) override;
  void close() override;
  bool is_open() const override { return handle_ != INVALID_HANDLE_VALUE; }
  long read(std::uint8_t* buf, std::size_t max) override;
  long write(const std::uint8_t* data, std::size_t n) override;
  std::string failure() const override { return failure_; }
  // SetCommBreak/ClearCommBreak and EscapeCommFunction: each returns at once.
  ControlResult set_control(Control c) override;

  // Bytes the driver holds for reading: > 0 some, 0 none, -1 when the driver cannot tell.
  long input_pending();

 private:
  long fail(DWORD code);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string failure_;
  bool fine_timer_ = false;
};

}  // namespace dravel::platform
