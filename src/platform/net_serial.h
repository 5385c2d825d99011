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
  // Takes what fits, like a tty's driver: a chunk of the caller's bytes encoded into the
  // queue and given to the socket as far as it takes them now; 0 while earlier output is
  // still queued (no room). A write held that way is SerialPort's to wait on.
  long write(const std::uint8_t* data, std::size_t n) override;
  // Drops the data still queued, partly sent or not; telnet commands (answers, SET-CONTROL)
  // stay, and so does the IAC that completes a doubled 0xFF already half sent.
  void discard_output() override;
  std::string failure() const override { return failure_; }
  // Over RFC 2217 a SET-CONTROL, queued with the data in order and not waited on: servers
  // answer it or not (ser2net on a pty says nothing). A raw TCP port has no lines to set.
  ControlResult set_control(Control c) override;

  // For the idle wait: takes in what the connection has now, held for the next read, so a
  // caller that is not reading the line is not woken again by the same bytes.
  void take_input();
  // False while enough is held: the idle wait leaves the socket alone.
  bool has_room() const { return !failed_ && held_.size() < HOLD_ROOM; }
  // For the idle wait: output waits for room on the socket, and is given it when it comes.
  bool output_queued() const { return !failed_ && socket_.is_open() && !unsent_.empty(); }
  void send_queued() { flush_out(); }

  // The first connect waits this long; a reconnect (the device-loss retry, once a second)
  // gets less for the connect and its answers together, so keys stay live while a lab
  // machine is down or its server accepts and says nothing.
  int connect_ms = 3000;
  int reconnect_ms = 500;
  // Each setting's acknowledgement is awaited this long: some servers send none.
  int answer_ms = 3000;

  static constexpr std::size_t HOLD_ROOM = 64 * 1024;
  // Source bytes one write takes at most: a whole packet (2050 bytes, up to twice that once
  // escaped), so a transfer that the socket keeps up with costs one send per packet.
  static constexpr std::size_t WRITE_CHUNK = 4 * 1024;
  // Telnet commands queued behind data the server leaves unread may take this much; beyond
  // it (a server that floods requests and reads no answers) the server counts as lost. No
  // time rule of its own: a write that makes no progress is SerialPort's stall rule, as on a
  // tty. Raw bytes taken in one pass of the idle wait: a flood of telnet commands, which
  // bring no data, cannot keep keys and deadlines waiting.
  static constexpr std::size_t UNSENT_ROOM = 4 * 1024;
  static constexpr std::size_t RAW_PER_PASS = 64 * 1024;
  // What is still queued at a close gets this long to go out (a quit right after a script's
  // last line, a BREAK put back); a server that takes nothing costs this, no more.
  static constexpr int CLOSE_DRAIN_MS = 1000;

 private:
  std::string negotiate(long baud, const std::string& name);
  bool settled() const;
  // One receive: data held, replies sent. Bytes received, or -1 once the connection ended.
  long pump();
  // Telnet commands: queued behind what waits and given to the socket without waiting.
  bool queue_out(const std::vector<std::uint8_t>& bytes);
  bool flush_out();
  void drain_before_close();
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
  // Every byte for the socket, in wire order. Data enters only an empty queue, so the
  // first `data_unsent_` bytes are data and the rest telnet commands.
  std::vector<std::uint8_t> unsent_;
  std::size_t data_unsent_ = 0;
  bool iac_half_sent_ = false;  // the data sent ends with the first IAC of a doubled 0xFF
  std::vector<std::uint8_t> data_, replies_;  // scratch, kept for their capacity
  std::string failure_;
};

}  // namespace dravel::platform
