#pragma once
// The Win32 serial device: a COM port opened for overlapped I/O, with reads and writes that
// return at once and a wait on the port itself for the idle wait.
#include <windows.h>

#include <string>
#include <vector>

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

  // PurgeComm: a write the driver still holds is dropped (the program ends by ESC).
  void discard_output() override;
  // Bytes the driver holds for reading: > 0 some, 0 none, -1 when the driver cannot tell.
  long input_pending();
  // For the idle wait, within one wait only: starts an overlapped WaitCommEvent for a byte's
  // arrival and gives its event, or nullptr when the driver refuses it (the port is then
  // looked at in slices). end_receive_wait cancels it and waits for it to end, so no read
  // or write ever overlaps it (Wine's COM port stalled when one did).
  HANDLE arm_receive_wait();
  void end_receive_wait();
  // The event of a write the driver still holds (signalled when it is done), else nullptr.
  HANDLE write_event() const { return writing_ ? write_event_ : nullptr; }

 private:
  long fail(DWORD code);
  // Ends the write under way: waits up to `limit_ms` for the driver to send it, then cancels
  // what is left. False when it failed.
  bool settle_write(DWORD limit_ms);
  // Gives up the receive wait for slices of a few milliseconds.
  void refuse_receive_wait();

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string failure_;
  bool fine_timer_ = false;
  HANDLE read_event_ = nullptr;
  HANDLE write_event_ = nullptr;
  HANDLE rx_event_ = nullptr;
  OVERLAPPED write_ov_{};
  std::vector<std::uint8_t> out_;  // the write the driver holds: alive until it ends
  bool writing_ = false;
  OVERLAPPED rx_ov_{};
  DWORD rx_mask_ = 0;
  bool rx_armed_ = false;
  bool rx_refused_ = false;
  int rx_failed_ends_ = 0;  // receive waits in a row that ended at once with no byte
};

}  // namespace dravel::platform
