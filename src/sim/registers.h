#pragma once
// The CPU registers the monitor keeps for the loaded program: the 32 MIPS general
// registers by their conventional names ("zero" ... "ra", also "r0" ... "r31", "s8" for
// "fp"), hi, lo and epc, where the program will start.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace dravel::sim {

class Registers {
 public:
  static constexpr int COUNT = 35;  // 32 general, hi, lo, epc

  // Index of a name, case-insensitive; none when unknown.
  static std::optional<int> index_of(std::string_view name);
  // The display name of an index.
  static std::string_view name_of(int index);

  bool has(std::string_view name) const { return index_of(name).has_value(); }
  // Throws std::out_of_range for an unknown name.
  std::uint32_t get(std::string_view name) const;
  // False for an unknown name. Writes to "zero" are ignored, as the hardware does.
  bool set(std::string_view name, std::uint32_t value);

  std::uint32_t at(int index) const { return values_.at(static_cast<std::size_t>(index)); }
  void set_at(int index, std::uint32_t value);

 private:
  std::array<std::uint32_t, COUNT> values_{};
};

}  // namespace dravel::sim
