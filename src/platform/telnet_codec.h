#pragma once
// The telnet framing and RFC 2217 (COM-PORT-OPTION) client side, on bytes only: what comes
// from the network is split into data and the replies owed to the server; data going out is
// escaped. No sockets here, so every byte sequence a server can send is testable.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace dravel::platform::telnet {

constexpr std::uint8_t SE = 240, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255;
constexpr std::uint8_t BINARY = 0, SUPPRESS_GO_AHEAD = 3, COM_PORT = 44;

// COM-PORT-OPTION commands the client sends; the server answers with code + 100.
enum ComPort : std::uint8_t {
  SET_BAUDRATE = 1,
  SET_DATASIZE = 2,
  SET_PARITY = 3,
  SET_STOPSIZE = 4,
  SET_CONTROL = 5,
};
constexpr std::uint8_t SERVER_OFFSET = 100;

// A subnegotiation longer than this is a broken or hostile server; the rest is dropped.
constexpr std::size_t SB_LIMIT = 64;

class Codec {
 public:
  // RFC 1143: per option and side, with the request in flight remembered. We only ever ask
  // for an option on, so RFC 1143's WantNo has no way in.
  enum class Q : std::uint8_t { No, Yes, WantYes };

  // Takes bytes from the network: data for the user goes to `data`, answers owed to the
  // server to `replies`. Any split across calls is fine.
  void decode(const std::uint8_t* in, std::size_t n, std::vector<std::uint8_t>& data,
              std::vector<std::uint8_t>& replies);
  // Data for the network: 0xFF doubled, and CR as CR NUL while we do not send binary.
  void encode(const std::uint8_t* in, std::size_t n, std::vector<std::uint8_t>& out) const;

  // Asks to turn on an option we use (WILL when `local`, else DO), unless it is on or asked.
  void request(bool local, std::uint8_t option, std::vector<std::uint8_t>& out);
  // IAC SB COM-PORT <code> <value> IAC SE, the value escaped.
  static void com_port(std::uint8_t code, const std::uint8_t* value, std::size_t n,
                       std::vector<std::uint8_t>& out);

  Q local(std::uint8_t option) const { return us_[option]; }
  Q remote(std::uint8_t option) const { return him_[option]; }
  // The server's answer to a COM-PORT command (value as a number), once one has come.
  std::optional<std::uint32_t> answer(std::uint8_t code) const {
    return code < answers_.size() ? answers_[code] : std::nullopt;
  }

 private:
  enum class State : std::uint8_t { Data, Cr, Iac, Verb, Sb, SbIac };
  void verb(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& replies);
  void subnegotiation();

  State state_ = State::Data;
  std::uint8_t verb_ = 0;
  std::array<Q, 256> us_{};
  std::array<Q, 256> him_{};
  std::vector<std::uint8_t> sb_;
  bool sb_overflow_ = false;
  std::array<std::optional<std::uint32_t>, 13> answers_{};
};

}  // namespace dravel::platform::telnet
