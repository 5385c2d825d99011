#include "platform/telnet_codec.h"

namespace dravel::platform::telnet {

namespace {

constexpr std::uint8_t CR = '\r', NUL = 0;

// The options this client takes part in; everything else is refused.
struct Policy {
  std::uint8_t option;
  bool local;   // we agree to DO
  bool remote;  // we agree to WILL
};
constexpr Policy POLICIES[] = {
    {BINARY, true, true},
    {SUPPRESS_GO_AHEAD, true, true},
    {COM_PORT, true, false},
};

bool accepted(std::uint8_t option, bool local) {
  for (const Policy& p : POLICIES)
    if (p.option == option) return local ? p.local : p.remote;
  return false;
}

void command(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& out) {
  out.insert(out.end(), {IAC, verb, option});
}

void escaped(std::uint8_t byte, std::vector<std::uint8_t>& out) {
  out.push_back(byte);
  if (byte == IAC) out.push_back(IAC);
}

}  // namespace

void Codec::decode(const std::uint8_t* in, std::size_t n, std::vector<std::uint8_t>& data,
                   std::vector<std::uint8_t>& replies) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = in[i];
    switch (state_) {
      case State::Cr:
        state_ = State::Data;
        // Without binary a CR travels as CR NUL: the NUL is framing, not data.
        if (b == NUL) break;
        [[fallthrough]];
      case State::Data:
        if (b == IAC) {
          state_ = State::Iac;
        } else {
          data.push_back(b);
          if (b == CR && him_[BINARY] != Q::Yes) state_ = State::Cr;
        }
        break;
      case State::Iac:
        if (b == IAC) {
          data.push_back(IAC);
          state_ = State::Data;
        } else if (b >= WILL) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == SB) {
          sb_.clear();
          sb_overflow_ = false;
          state_ = State::Sb;
        } else {
          state_ = State::Data;  // NOP, GA, and the like: nothing to do
        }
        break;
      case State::Verb:
        verb(verb_, b, replies);
        state_ = State::Data;
        break;
      case State::Sb:
        if (b == IAC) {
          state_ = State::SbIac;
        } else if (sb_.size() < SB_LIMIT) {
          sb_.push_back(b);
        } else {
          sb_overflow_ = true;
        }
        break;
      case State::SbIac:
        if (b == IAC) {
          if (sb_.size() < SB_LIMIT)
            sb_.push_back(IAC);
          else
            sb_overflow_ = true;
          state_ = State::Sb;
        } else if (b == SE) {
          if (!sb_overflow_) subnegotiation();
          state_ = State::Data;
        } else {
          // An unterminated subnegotiation: drop it and take the byte as a command.
          state_ = State::Iac;
          --i;
        }
        break;
    }
  }
}

// RFC 1143's Q method without the queue: we never change our mind while asking.
void Codec::verb(std::uint8_t v, std::uint8_t option, std::vector<std::uint8_t>& replies) {
  const bool local = v == DO || v == DONT;
  const bool on = v == WILL || v == DO;
  Q& q = local ? us_[option] : him_[option];
  const std::uint8_t yes = local ? WILL : DO;
  const std::uint8_t no = local ? WONT : DONT;
  if (on) {
    switch (q) {
      case Q::No:
        if (accepted(option, local)) {
          q = Q::Yes;
          command(yes, option, replies);
        } else {
          command(no, option, replies);
        }
        break;
      case Q::Yes:
        break;
      case Q::WantYes:
        q = Q::Yes;
        break;
    }
  } else {
    if (q == Q::Yes) command(no, option, replies);
    q = Q::No;
  }
}

void Codec::subnegotiation() {
  if (sb_.size() < 2 || sb_[0] != COM_PORT || sb_[1] < SERVER_OFFSET) return;
  const unsigned code = sb_[1] - SERVER_OFFSET;
  if (code >= answers_.size()) return;
  std::uint32_t value = 0;
  for (std::size_t i = 2; i < sb_.size() && i < 6; ++i) value = (value << 8) | sb_[i];
  answers_[code] = value;
}

void Codec::encode(const std::uint8_t* in, std::size_t n, std::vector<std::uint8_t>& out) const {
  const bool binary = us_[BINARY] == Q::Yes;
  for (std::size_t i = 0; i < n; ++i) {
    escaped(in[i], out);
    if (in[i] == CR && !binary) out.push_back(NUL);
  }
}

void Codec::request(bool local, std::uint8_t option, std::vector<std::uint8_t>& out) {
  Q& q = local ? us_[option] : him_[option];
  if (q != Q::No) return;
  q = Q::WantYes;
  command(local ? WILL : DO, option, out);
}

void Codec::com_port(std::uint8_t code, const std::uint8_t* value, std::size_t n,
                     std::vector<std::uint8_t>& out) {
  out.insert(out.end(), {IAC, SB, COM_PORT, code});
  for (std::size_t i = 0; i < n; ++i) escaped(value[i], out);
  out.insert(out.end(), {IAC, SE});
}

}  // namespace dravel::platform::telnet
