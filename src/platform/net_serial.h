#pragma once
// A serial port on another machine (ser2net, a labgrid exporter) behind the serial seam:
// rfc2217://HOST:PORT sets the line up through the COM-PORT-OPTION, socket://HOST:PORT passes
// bytes as they are.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/network_name.h"
#include "platform/serial_device.h"
#include "platform/stream_socket.h"
#include "platform/telnet_codec.h"

namespace dravel::platform {

class NetSerial : public SerialDevice {
 public:
  explicit NetSerial(StreamSocket& socket) : socket_(socket) {}
  ~NetSerial() override { close(); }

  OpenResult open(const std::string& name, long baud) override;
  void close() override;
  bool is_open() const override { return socket_.is_open(); }
  long read(std::uint8_t* buf, std::size_t max) override;
  long write(const std::uint8_t* data, std::size_t n) override;
  std::string failure() const override { return failure_; }
  // Over RFC 2217 a SET-CONTROL, sent and not waited on: servers answer it or not (ser2net
  // on a pty says nothing). A raw TCP port has no lines to set.
  ControlResult set_control(Control c) override;

  // For the idle wait: takes in what the connection has now, held for the next read, so a
  // caller that is not reading the line is not woken again by the same bytes.
  void take_input();
  // False while enough is held: the idle wait leaves the socket alone.
  bool has_room() const { return !failed_ && held_.size() < HOLD_ROOM; }

  // The first connect waits this long; a reconnect (the device-loss retry, once a second)
  // gets less for the connect and its answers together, so keys stay live while a lab
  // machine is down or its server accepts and says nothing.
  int connect_ms = 3000;
  int reconnect_ms = 500;
  // Each setting's acknowledgement is awaited this long: some servers send none.
  int answer_ms = 3000;

  static constexpr std::size_t HOLD_ROOM = 64 * 1024;
  // Telnet answers the server leaves unread may wait this much, this long; beyond either the
  // server counts as lost. Raw bytes taken in one pass of the idle wait: a flood of telnet
  // commands, which bring no data, cannot keep keys and deadlines waiting.
  static constexpr std::size_t UNSENT_ROOM = 4 * 1024;
  std::int64_t unsent_ms = 3000;
  static constexpr std::size_t RAW_PER_PASS = 64 * 1024;

 private:
  std::string negotiate(long baud, const std::string& name);
  bool settled() const;
  // One receive: data held, replies sent. Bytes received, or -1 once the connection ended.
  long pump();
  // Data: sent whole, behind any unsent answers, within the socket's stall limit.
  bool send_raw(const std::vector<std::uint8_t>& bytes);
  // Telnet requests and answers: queued and given to the socket without waiting.
  bool queue_out(const std::vector<std::uint8_t>& bytes);
  bool flush_out();
  long fail(std::string why);

  StreamSocket& socket_;
  telnet::Codec codec_;
  bool telnet_ = false;
  bool failed_ = false;
  std::string opened_name_;
  long server_rate_ = 0;  // the rate the server's answer names; 0 when it gave none
  static constexpr std::int64_t NO_END = INT64_MAX;
  std::int64_t open_end_ms_ = NO_END;  // a reconnect's whole time limit
  std::deque<std::uint8_t> held_;
  std::vector<std::uint8_t> unsent_;
  std::int64_t unsent_since_ms_ = 0;          // when unsent_ last shrank or began
  std::vector<std::uint8_t> data_, replies_;  // scratch, kept for their capacity
  std::string failure_;
};

}  // namespace dravel::platform
