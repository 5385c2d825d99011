#include "sim/srec_load.h"

#include <cstdio>

#include "sim/srec.h"

namespace dravel::sim {

namespace {
constexpr std::uint8_t BREAK = 0x03;
constexpr std::uint8_t LF = 0x0A;
// The acknowledgement the host waits for after each line. Everything else said during a
// load must avoid a capital N, or the host would take it for one.
constexpr std::string_view ACK = "N\n";
}  // namespace

void SrecLoad::begin(SrecStart how, std::string file_name) {
  file_name_ = std::move(file_name);
  line_.clear();
  overflow_ = false;
  lines_ = 0;
  errors_ = 0;
  bytes_ = 0;
  switch (how) {
    case SrecStart::ld2:
      phase_ = Phase::await_g;
      break;
    case SrecStart::data_request:
      reply_.say("\r\nS-format data load start\r\n");
      phase_ = Phase::await_g;
      break;
    case SrecStart::file_request:
      reply_.say("\r\nS-format file load start\r\n");
      phase_ = Phase::await_f;
      break;
  }
}

bool SrecLoad::feed(std::uint8_t b) {
  if (b == BREAK) {
    reply_.say("^C");
    reply_.prompt();
    return true;
  }
  switch (phase_) {
    case Phase::await_f:
      if (b == 'F') {
        reply_.say(file_name_);
        reply_.say("\r");
        phase_ = Phase::await_g;
      }
      return false;
    case Phase::await_g:
      if (b == 'G') phase_ = Phase::await_lf;
      return false;
    case Phase::await_lf:
      if (b == LF) phase_ = Phase::lines;
      return false;
    case Phase::lines:
      if (b == LF) return end_of_line();
      if (line_.size() < MAX_LINE) {
        line_.push_back(static_cast<char>(b));
      } else {
        overflow_ = true;
      }
      return false;
  }
  return false;
}

void SrecLoad::error(std::string_view what) {
  ++errors_;
  char head[32];
  std::snprintf(head, sizeof head, "\r\nline %d: ", lines_);
  reply_.say(head);
  reply_.say(what);
}

bool SrecLoad::end_of_line() {
  ++lines_;
  std::string line = std::move(line_);
  line_.clear();
  bool done = false;

  std::string_view text = line;
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  if (overflow_) {
    overflow_ = false;
    error("line too long");
  } else if (!text.empty()) {
    SrecResult r = parse_srec(text);
    const SrecRecord& rec = r.record;
    if (r.error != SrecError::none) {
      error(srec_error_text(r.error));
    } else if (rec.kind == SrecKind::data) {
      if (memory_.mapped(rec.address, rec.data.size())) {
        memory_.write(rec.address, rec.data.data(), rec.data.size());
        bytes_ += rec.data.size();
      } else {
        char what[48];
        std::snprintf(what, sizeof what, "address %08x not mapped", rec.address);
        error(what);
      }
    } else if (rec.kind == SrecKind::start) {
      registers_.set("epc", rec.address);
      done = true;
    }
  }

  const auto n = static_cast<std::uint64_t>(lines_);
  if (faults_.drop_srec_acks_from == 0 || n < faults_.drop_srec_acks_from) reply_.say(ACK);
  if (done) finish();
  return done;
}

void SrecLoad::finish() {
  char summary[96];
  std::snprintf(summary, sizeof summary, "\r\nloaded %llu bytes, %d errors, start %08x",
                static_cast<unsigned long long>(bytes_), errors_, registers_.get("epc"));
  reply_.say(summary);
  reply_.prompt();
}

}  // namespace dravel::sim
