#include "loader/coff_image.h"

#include <cstring>
#include <new>

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

CoffHeadersResult coff_read_headers(const ImageReadAt& read_at, std::uint64_t file_size) {
  CoffHeadersResult r;
  std::uint8_t file_bytes[COFF_FILE_HEADER_SIZE];
  if (!read_at(0, file_bytes, sizeof file_bytes)) {
    r.message = "Error! file header can not read\n";
    return r;
  }
  CoffFileHeader fh = parse_coff_file_header(file_bytes);
  if (fh.optional_header_size != COFF_OPTIONAL_HEADER_SIZE) {
    r.message = "Error! file and optional headers inconsistent\n";
    return r;
  }
  if ((fh.flags & COFF_FLAG_EXECUTABLE) == 0) {
    r.message = "Error! file is not executable \n";
    return r;
  }
  std::uint8_t optional_bytes[COFF_OPTIONAL_HEADER_SIZE];
  if (!read_at(COFF_FILE_HEADER_SIZE, optional_bytes, sizeof optional_bytes)) {
    r.message = "Error! optional header can not read\n";
    return r;
  }
  CoffOptionalHeader oh = parse_coff_optional_header(optional_bytes);
  const std::uint64_t table_at = COFF_FILE_HEADER_SIZE + COFF_OPTIONAL_HEADER_SIZE;
  std::size_t table_bytes = std::size_t{fh.section_count} * COFF_SECTION_HEADER_SIZE;
  // A count the file cannot hold is refused before anything is allocated for it.
  std::vector<std::uint8_t> raw;
  if (table_bytes == 0 || file_size < table_at + table_bytes) {
    r.message = "Error! file section headers can not read\n";
    return r;
  }
  try {
    raw.resize(table_bytes);
    r.headers.sections.reserve(fh.section_count);
  } catch (const std::bad_alloc&) {
    r.message = "Error! file section header table cannot allocate\n";
    return r;
  }
  if (!read_at(table_at, raw.data(), table_bytes)) {
    r.message = "Error! file section headers can not read\n";
    return r;
  }
  for (std::size_t i = 0; i < fh.section_count; ++i)
    r.headers.sections.push_back(
        parse_coff_section_header(raw.data() + i * COFF_SECTION_HEADER_SIZE));
  r.headers.entry = oh.entry;
  r.headers.gp_value = oh.gp_value;
  return r;
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

// The sections the board receives, in table order, each shown by its name.
ImageResult read_coff_image(const char* name, const ImageReadAt& read_at, std::uint64_t file_size) {
  CoffHeadersResult headers = coff_read_headers(read_at, file_size);
  if (!headers.message.empty()) return ImageResult::refused(headers.message);
  ImageResult r;
  for (const CoffSectionHeader& h : headers.headers.sections) {
    if (!coff_section_wanted(h)) continue;
    char label[sizeof h.name + 1] = {};
    std::memcpy(label, h.name, sizeof h.name);
    r.image.pieces.push_back({h.physical_address, h.size, h.data_offset, label});
  }
  r.image.pc = headers.headers.entry;
  r.image.gp = headers.headers.gp_value;
  if (std::string problem = image_problem(name, r.image, file_size); !problem.empty())
    return ImageResult::refused(problem);
  return r;
}

}  // namespace dravel
