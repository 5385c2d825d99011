#pragma once
// Little-endian MIPS COFF, as far as the loader reads it.
#include <cstdint>
#include <string>
#include <vector>

#include "loader/load_image.h"

namespace dravel {

inline constexpr int COFF_FILE_HEADER_SIZE = 20;
inline constexpr int COFF_OPTIONAL_HEADER_SIZE = 56;
inline constexpr int COFF_SECTION_HEADER_SIZE = 40;
inline constexpr std::uint16_t COFF_FLAG_EXECUTABLE = 0x0002;

struct CoffFileHeader {
  std::uint16_t magic;
  std::uint16_t section_count;
  std::uint16_t optional_header_size;
  std::uint16_t flags;
};

struct CoffOptionalHeader {
  std::uint32_t entry;
  std::uint32_t gp_value;
};

struct CoffSectionHeader {
  char name[8];  // padded with 0; eight characters have no terminator
  std::uint32_t physical_address;
  std::uint32_t virtual_address;
  std::uint32_t size;
  std::uint32_t data_offset;
  std::uint32_t flags;
};

struct CoffLoadSection {
  std::uint32_t type_mask;
  const char* name;
};
inline constexpr CoffLoadSection COFF_LOAD_SECTIONS[] = {
    {0x20, ".text"},
    {0x100, ".rdata"},
    {0x40, ".data"},
    {0x200, ".sdata"},
};

struct CoffHeaders {
  std::vector<CoffSectionHeader> sections;  // section_count of them, in table order
  std::uint32_t entry = 0;
  std::uint32_t gp_value = 0;
};

CoffFileHeader parse_coff_file_header(const std::uint8_t (&bytes)[COFF_FILE_HEADER_SIZE]);
CoffOptionalHeader parse_coff_optional_header(
    const std::uint8_t (&bytes)[COFF_OPTIONAL_HEADER_SIZE]);
CoffSectionHeader parse_coff_section_header(const std::uint8_t* bytes);

// The headers at the start of the file, or the message that says why they cannot be read.
struct CoffHeadersResult {
  CoffHeaders headers;
  std::string message;  // empty when the headers were read
};
CoffHeadersResult coff_read_headers(const ImageReadAt& read_at, std::uint64_t file_size);
bool coff_section_wanted(const CoffSectionHeader& section);

// The image a COFF executable file `name` (for the messages) describes, checked whole.
ImageResult read_coff_image(const char* name, const ImageReadAt& read_at, std::uint64_t file_size);

}  // namespace dravel
