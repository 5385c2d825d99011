#include "session_files.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace krvbsim {

namespace {
std::string hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", v);
  return buf;
}
}  // namespace

bool preload(dravel::sim::Monitor& m, const std::vector<Preload>& loads, std::string& error) {
  for (const Preload& p : loads) {
    std::ifstream in(p.file, std::ios::binary);
    if (!in) {
      error = p.file + ": " + std::strerror(errno);
      return false;
    }
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    if (!m.memory().mapped(p.address, data.size())) {
      error = p.file + " (" + std::to_string(data.size()) +
              " bytes) does not fit in mapped memory at " + hex(p.address);
      return false;
    }
    m.memory().write(p.address, data.data(), data.size());
  }
  return true;
}

void write_results(dravel::sim::Monitor& m, const Options& o, std::vector<std::string>& errors) {
  for (const Dump& d : o.dumps) {
    std::vector<std::uint8_t> data = m.memory().read(d.address, d.size);
    std::ofstream out(d.file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    if (!out) errors.push_back(d.file + ": " + std::strerror(errno));
  }
  if (!o.stats_file.empty()) {
    std::ofstream out(o.stats_file, std::ios::trunc);
    const dravel::sim::BinaryMode& b = m.binary();
    out << "host_packets " << b.host_packets() << "\nsent_packets " << b.sent_packets()
        << "\nfaulted_packets " << b.faulted_packets() << "\nbytes_received " << m.bytes_received()
        << '\n';
    if (!out) errors.push_back(o.stats_file + ": " + std::strerror(errno));
  }
  if (!o.regs_file.empty()) {
    std::ofstream out(o.regs_file, std::ios::trunc);
    for (int i = 0; i < dravel::sim::Registers::COUNT; ++i) {
      out << dravel::sim::Registers::name_of(i) << ' ' << hex(m.registers().at(i)) << '\n';
    }
    if (!out) errors.push_back(o.regs_file + ": " + std::strerror(errno));
  }
}

WireLog::~WireLog() {
  write();
  if (file_ != nullptr) std::fclose(file_);
}

bool WireLog::open(const std::string& path, dravel::sim::Monitor& m, std::string& error) {
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  monitor_ = &m;
  return true;
}

void WireLog::write() {
  if (file_ == nullptr || monitor_ == nullptr) return;
  dravel::sim::Trace& trace = monitor_->trace();
  if (trace.entries().empty()) return;
  for (const dravel::sim::TraceEntry& e : trace.entries()) {
    std::string lines = dravel::sim::format_trace_lines(e.direction, e.bytes);
    std::fwrite(lines.data(), 1, lines.size(), file_);
  }
  std::fflush(file_);
  trace.clear();
}

}  // namespace krvbsim
