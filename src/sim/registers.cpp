#include "sim/registers.h"

#include <cctype>
#include <stdexcept>
#include <string>

namespace dravel::sim {

namespace {

constexpr std::array<std::string_view, Registers::COUNT> NAMES = {
    "zero", "at", "v0", "v1", "a0", "a1", "a2", "a3", "t0", "t1", "t2", "t3",
    "t4",   "t5", "t6", "t7", "s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7",
    "t8",   "t9", "k0", "k1", "gp", "sp", "fp", "ra", "hi", "lo", "epc"};

struct Alias {
  std::string_view name;
  int index;
};
constexpr std::array<Alias, 1> ALIASES = {{{"s8", 30}}};

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return true;
}

// "r0" ... "r31".
std::optional<int> numbered(std::string_view name) {
  if (name.size() < 2 || name.size() > 3 || (name[0] != 'r' && name[0] != 'R')) return {};
  int n = 0;
  for (char c : name.substr(1)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return {};
    n = n * 10 + (c - '0');
  }
  if (name.size() == 3 && name[1] == '0') return {};
  return n < 32 ? std::optional<int>(n) : std::nullopt;
}

}  // namespace

std::optional<int> Registers::index_of(std::string_view name) {
  for (std::size_t i = 0; i < NAMES.size(); ++i) {
    if (same_name(name, NAMES[i])) return static_cast<int>(i);
  }
  for (const Alias& a : ALIASES) {
    if (same_name(name, a.name)) return a.index;
  }
  return numbered(name);
}

std::string_view Registers::name_of(int index) {
  return NAMES.at(static_cast<std::size_t>(index));
}

std::uint32_t Registers::get(std::string_view name) const {
  auto i = index_of(name);
  if (!i) throw std::out_of_range("no register named " + std::string(name));
  return at(*i);
}

bool Registers::set(std::string_view name, std::uint32_t value) {
  auto i = index_of(name);
  if (!i) return false;
  set_at(*i, value);
  return true;
}

void Registers::set_at(int index, std::uint32_t value) {
  if (index == 0) return;
  values_.at(static_cast<std::size_t>(index)) = value;
}

}  // namespace dravel::sim
