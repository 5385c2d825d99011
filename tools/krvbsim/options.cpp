#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string_view>

#include "core/escaped_text.h"

namespace krvbsim {

const char* const USAGE =
    "usage: krvbsim [options]                 serve a simulated KRVB7100 monitor on a pty\n"
    "       krvbsim [options] -- COMMAND ...  run COMMAND with DRAVELPORT set to the pty\n"
    "\n"
    "options:\n"
    "  --baud N                pace the monitor's output at N baud (10 bits a byte)\n"
    "  --pace-host             with --baud, the host's bytes also take their line time\n"
    "  --wire-log FILE         log both directions of the line to FILE\n"
    "  --load FILE@ADDR        preload target memory with FILE at hex ADDR\n"
    "  --dump ADDR:SIZE:FILE   at the end, write SIZE bytes at ADDR (hex) to FILE\n"
    "  --regs FILE             at the end, write the registers to FILE\n"
    "  --stats FILE            at the end, write packet and byte counts to FILE\n"
    "  --stream-seed N         the seed of the first \"stream\" that names none (then N+1...)\n"
    "  --map-all               accept transfers to any address, not just RAM\n"
    "  --go-text TEXT          \"go\" prints TEXT as the started program would (\\r \\n \\xHH)\n"
    "faults:\n"
    "  --nak-packet N          answer 'N' to the Nth packet the host sends\n"
    "  --corrupt-packet N      send the Nth packet with a bad checksum\n"
    "  --nak-rate PERMILLE     answer 'N' to about PERMILLE in 1000 packets the host sends\n"
    "  --corrupt-rate PERMILLE spoil a byte of about PERMILLE in 1000 packets sent\n"
    "  --fault-seed N          seed for the two rates (default 1)\n"
    "  --mute-after TEXT       stop answering once the host has sent TEXT (\\r \\n \\xHH)\n"
    "  --mute-after-bytes N    stop answering after N received bytes\n"
    "  --hold-prompt           never send the prompt\n"
    "  --drop-srec-acks N      leave S-record lines unacknowledged from the Nth on\n"
    "  --help                  this text\n";

namespace {

bool parse_number(std::string_view text, int base, std::uint64_t max, std::uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  std::string s(text);
  if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.erase(0, 2);
  if (s.empty() || s[0] == '-' || s[0] == '+' || s[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s.c_str(), &end, base);
  if (errno != 0 || *end != '\0' || v > max) return false;
  value = v;
  return true;
}

bool parse_load(const std::string& value, Preload& p) {
  auto at = value.rfind('@');
  std::uint64_t addr = 0;
  if (at == std::string::npos || at == 0 ||
      !parse_number(value.substr(at + 1), 16, 0xFFFFFFFF, addr))
    return false;
  p.file = value.substr(0, at);
  p.address = static_cast<std::uint32_t>(addr);
  return true;
}

bool parse_dump(const std::string& value, Dump& d) {
  auto first = value.find(':');
  auto second = first == std::string::npos ? first : value.find(':', first + 1);
  std::uint64_t addr = 0;
  std::uint64_t size = 0;
  if (second == std::string::npos || second + 1 == value.size() ||
      !parse_number(std::string_view(value).substr(0, first), 16, 0xFFFFFFFF, addr) ||
      !parse_number(std::string_view(value).substr(first + 1, second - first - 1), 16, 0xFFFFFFFF,
                    size))
    return false;
  d.address = static_cast<std::uint32_t>(addr);
  d.size = static_cast<std::uint32_t>(size);
  d.file = value.substr(second + 1);
  return true;
}

struct ValueOption {
  std::string_view name;
  std::string_view what;  // for the error message
  std::function<bool(Options&, const std::string&)> apply;
};

bool count(const std::string& v, std::uint64_t& field) {
  return parse_number(v, 10, UINT64_MAX, field) && field > 0;
}

// A file name: anything but empty.
bool file_name(const std::string& v, std::string& field) {
  field = v;
  return !v.empty();
}

bool per_mille(const std::string& v, std::uint32_t& field) {
  std::uint64_t n = 0;
  if (!parse_number(v, 10, 1000, n)) return false;
  field = static_cast<std::uint32_t>(n);
  return true;
}

const ValueOption VALUE_OPTIONS[] = {
    {"--baud", "a baud rate",
     [](Options& o, const std::string& v) {
       std::uint64_t n = 0;
       if (!parse_number(v, 10, 10'000'000, n) || n == 0) return false;
       o.baud = static_cast<long>(n);
       return true;
     }},
    {"--wire-log", "a file name",
     [](Options& o, const std::string& v) { return file_name(v, o.wire_log); }},
    {"--load", "FILE@ADDR",
     [](Options& o, const std::string& v) {
       Preload p;
       if (!parse_load(v, p)) return false;
       o.loads.push_back(p);
       return true;
     }},
    {"--dump", "ADDR:SIZE:FILE",
     [](Options& o, const std::string& v) {
       Dump d;
       if (!parse_dump(v, d)) return false;
       o.dumps.push_back(d);
       return true;
     }},
    {"--regs", "a file name",
     [](Options& o, const std::string& v) { return file_name(v, o.regs_file); }},
    {"--go-text", "a text (\\r \\n \\t \\\\ \\xHH escapes)",
     [](Options& o, const std::string& v) { return dravel::unescape(v, o.go_text); }},
    {"--stats", "a file name",
     [](Options& o, const std::string& v) { return file_name(v, o.stats_file); }},
    {"--stream-seed", "a number",
     [](Options& o, const std::string& v) {
       return parse_number(v, 10, UINT64_MAX, o.stream_seed);
     }},
    {"--nak-rate", "a share in 1000 (0 to 1000)",
     [](Options& o, const std::string& v) { return per_mille(v, o.faults.nak_per_mille); }},
    {"--corrupt-rate", "a share in 1000 (0 to 1000)",
     [](Options& o, const std::string& v) { return per_mille(v, o.faults.corrupt_per_mille); }},
    {"--fault-seed", "a number",
     [](Options& o, const std::string& v) {
       return parse_number(v, 10, UINT64_MAX, o.faults.fault_seed);
     }},
    {"--nak-packet", "a packet number from 1",
     [](Options& o, const std::string& v) { return count(v, o.faults.nak_host_packet); }},
    {"--corrupt-packet", "a packet number from 1",
     [](Options& o, const std::string& v) { return count(v, o.faults.corrupt_sent_packet); }},
    {"--mute-after", "a text (\\r \\n \\t \\\\ \\xHH escapes)",
     [](Options& o, const std::string& v) {
       return dravel::unescape(v, o.faults.mute_after_text) && !o.faults.mute_after_text.empty();
     }},
    {"--mute-after-bytes", "a byte count from 1",
     [](Options& o, const std::string& v) { return count(v, o.faults.mute_after_bytes); }},
    {"--drop-srec-acks", "a line number from 1",
     [](Options& o, const std::string& v) { return count(v, o.faults.drop_srec_acks_from); }},
};

}  // namespace

bool parse_options(const std::vector<std::string>& args, Options& out, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      out.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      if (out.command.empty()) {
        error = "no command after --";
        return false;
      }
      return true;
    }
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      continue;
    }
    if (arg == "--hold-prompt") {
      out.faults.hold_prompt = true;
      continue;
    }
    if (arg == "--pace-host") {
      out.pace_host = true;
      continue;
    }
    if (arg == "--map-all") {
      out.map_all = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool has_value = false;
    if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      has_value = true;
    }
    const ValueOption* opt = nullptr;
    for (const ValueOption& o : VALUE_OPTIONS) {
      if (name == o.name) opt = &o;
    }
    if (opt == nullptr) {
      error = "unknown option " + arg;
      return false;
    }
    if (!has_value) {
      if (i + 1 == args.size()) {
        error = name + " needs " + std::string(opt->what);
        return false;
      }
      value = args[++i];
    }
    if (!opt->apply(out, value)) {
      error =
          "bad value for " + name + ": \"" + value + "\" (expected " + std::string(opt->what) + ")";
      return false;
    }
  }
  return true;
}

}  // namespace krvbsim
