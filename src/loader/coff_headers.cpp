#include "loader/coff_headers.h"

#include <cstring>
#include <new>

#include "core/console_out.h"
#include "core/state.h"
#include "loader/binary_file.h"
#include "loader/le_bytes.h"

namespace dravel {

CoffFileHeader parse_coff_file_header(const std::uint8_t (&bytes)[COFF_FILE_HEADER_SIZE]) {
  return {le16(bytes), le16(bytes + 2), le16(bytes + 16), le16(bytes + 18)};
}

CoffOptionalHeader parse_coff_optional_header(
    const std::uint8_t (&bytes)[COFF_OPTIONAL_HEADER_SIZE]) {
  return {le32(bytes + 16), le32(bytes + 52)};
}

CoffSectionHeader parse_coff_section_header(const std::uint8_t* bytes) {
  CoffSectionHeader h{};
  std::memcpy(h.name, bytes, sizeof h.name);
  h.physical_address = le32(bytes + 8);
  h.virtual_address = le32(bytes + 12);
  h.size = le32(bytes + 16);
  h.data_offset = le32(bytes + 20);
  h.flags = le32(bytes + 36);
  return h;
}

std::optional<CoffHeaders> coff_read_headers(State& s, std::FILE* file) {
  std::uint8_t file_bytes[COFF_FILE_HEADER_SIZE];
  if (std::fread(file_bytes, sizeof file_bytes, 1, file) != 1) {
    console_write(s.console(), "Error! file header can not read\n");
    return std::nullopt;
  }
  CoffFileHeader fh = parse_coff_file_header(file_bytes);
  if (fh.optional_header_size != COFF_OPTIONAL_HEADER_SIZE) {
    console_write(s.console(), "Error! file and optional headers inconsistent\n");
    return std::nullopt;
  }
  if ((fh.flags & COFF_FLAG_EXECUTABLE) == 0) {
    console_write(s.console(), "Error! file is not executable \n");
    return std::nullopt;
  }
  std::uint8_t optional_bytes[COFF_OPTIONAL_HEADER_SIZE];
  if (std::fread(optional_bytes, sizeof optional_bytes, 1, file) != 1) return std::nullopt;
  CoffOptionalHeader oh = parse_coff_optional_header(optional_bytes);

  const char* table_unreadable = "Error! file section headers can not read\n";
  std::size_t table_bytes = std::size_t{fh.section_count} * COFF_SECTION_HEADER_SIZE;
  // A count the file cannot hold is refused before anything is allocated for it.
  std::int64_t size = binary_file_size(file);
  long here = std::ftell(file);
  if (table_bytes == 0 || size < 0 || here < 0 ||
      static_cast<std::uint64_t>(size - here) < table_bytes) {
    console_write(s.console(), table_unreadable);
    return std::nullopt;
  }
  CoffHeaders headers;
  std::vector<std::uint8_t> raw;
  try {
    raw.resize(table_bytes);
    headers.sections.reserve(fh.section_count);
  } catch (const std::bad_alloc&) {
    console_write(s.console(), "Error! file section header table cannot allocate\n");
    return std::nullopt;
  }
  if (std::fread(raw.data(), table_bytes, 1, file) != 1) {
    console_write(s.console(), table_unreadable);
    return std::nullopt;
  }
  for (std::size_t i = 0; i < fh.section_count; ++i)
    headers.sections.push_back(
        parse_coff_section_header(raw.data() + i * COFF_SECTION_HEADER_SIZE));
  headers.entry = oh.entry;
  headers.gp_value = oh.gp_value;
  return headers;
}

bool coff_section_wanted(const CoffSectionHeader& section) {
  for (const CoffLoadSection& row : COFF_LOAD_SECTIONS) {
    std::size_t len = std::strlen(row.name);
    bool same_name = std::memcmp(section.name, row.name, len) == 0 &&
                     (len == sizeof section.name || section.name[len] == '\0');
    if (same_name && (section.flags & row.type_mask) != 0) return true;
  }
  return false;
}

}  // namespace dravel
