#include "loader/elf_image.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "loader/le_bytes.h"

namespace dravel {

namespace {

constexpr std::size_t HEADER_SIZE = 52;
constexpr std::size_t PROGRAM_HEADER_SIZE = 32;
constexpr std::size_t SECTION_HEADER_SIZE = 40;
constexpr std::size_t SYMBOL_SIZE = 16;
constexpr std::uint32_t REGINFO_GP_OFFSET = 20;

constexpr std::uint8_t CLASS_32 = 1;
constexpr std::uint8_t CLASS_64 = 2;
constexpr std::uint8_t DATA_LITTLE = 1;
constexpr std::uint8_t DATA_BIG = 2;
constexpr std::uint16_t MACHINE_MIPS = 8;
constexpr std::uint16_t TYPE_EXEC = 2;

constexpr std::uint32_t PT_LOAD = 1;
constexpr std::uint32_t PT_MIPS_REGINFO = 0x70000000;
constexpr std::uint32_t SHT_SYMTAB = 2;
constexpr std::uint32_t SHT_NOBITS = 8;
constexpr std::uint32_t SHT_MIPS_REGINFO = 0x70000006;
constexpr std::uint32_t SHF_ALLOC = 2;

// What the board never receives, by type or by name: the ABI's notes for the tools.
constexpr std::uint32_t SKIPPED_TYPES[] = {SHT_MIPS_REGINFO, 0x7000000d, 0x7000002a};
constexpr const char* SKIPPED_NAMES[] = {".reginfo", ".MIPS.options", ".MIPS.abiflags"};

constexpr std::size_t LABEL_LIMIT = 64;
constexpr std::size_t NAME_LIMIT = 4096;
constexpr char GP_NAME[] = "_gp";  // with its NUL: four bytes

struct TypeName {
  std::uint16_t type;
  const char* text;
};
constexpr TypeName FILE_TYPES[] = {
    {0, "an ELF file of no type"},
    {1, "an ELF relocatable object, not an executable"},
    {3, "an ELF shared object, not an executable"},
    {4, "an ELF core dump, not an executable"},
};

struct Segment {
  std::uint32_t type, offset, vaddr, paddr, filesz, memsz;
};

struct Section {
  std::uint32_t name, type, flags, addr, offset, size, link;
};

// A failed check: the reason, ready to follow the file's quoted name.
struct Refusal {
  std::string text;
};

class Reader {
 public:
  Reader(const ElfReadAt& read_at, std::uint64_t file_size)
      : read_at_(read_at), file_size_(file_size) {}

  // `count` entries of `entry` bytes at `offset`, refused unless the file holds them all.
  std::vector<std::uint8_t> table(std::uint64_t offset, std::uint64_t count, std::uint64_t entry,
                                  const char* what) const {
    std::uint64_t bytes = count * entry;  // both at most 32 bits wide: no overflow
    if (offset > file_size_ || bytes > file_size_ - offset)
      throw Refusal{std::string("is a damaged ELF file: ") + what + " past the end of the file"};
    std::vector<std::uint8_t> out;
    try {
      out.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
      throw Refusal{std::string("is too large to read: ") + what};
    }
    if (bytes > 0 && !read_at_(offset, out.data(), out.size()))
      throw Refusal{std::string("cannot be read: ") + what};
    return out;
  }

 private:
  const ElfReadAt& read_at_;
  std::uint64_t file_size_;
};

std::string what_it_is(const std::uint8_t* h) {
  if (h[4] == CLASS_64) return "a 64-bit ELF file";
  if (h[4] != CLASS_32) return "an ELF file of unknown class";
  if (h[5] == DATA_BIG) return "a big-endian ELF file";
  if (h[5] != DATA_LITTLE) return "an ELF file of unknown byte order";
  std::uint16_t machine = le16(h + 18);
  if (machine != MACHINE_MIPS)
    return "an ELF file for another machine (" + std::to_string(machine) + ")";
  std::uint16_t type = le16(h + 16);
  if (type == TYPE_EXEC) return {};
  for (const TypeName& t : FILE_TYPES)
    if (t.type == type) return t.text;
  return "an ELF file of unknown type (" + std::to_string(type) + ")";
}

Segment parse_segment(const std::uint8_t* p) {
  return {le32(p), le32(p + 4), le32(p + 8), le32(p + 12), le32(p + 16), le32(p + 20)};
}

Section parse_section(const std::uint8_t* p) {
  return {le32(p),      le32(p + 4),  le32(p + 8), le32(p + 12),
          le32(p + 16), le32(p + 20), le32(p + 24)};
}

// The NUL-terminated string at `at` in `table`, or nullptr when it runs off the table or past
// NAME_LIMIT: every section may name the same long string, so an unbounded search is quadratic.
const char* string_at(const std::vector<std::uint8_t>& table, std::uint32_t at) {
  if (at >= table.size()) return nullptr;
  const void* end = std::memchr(table.data() + at, 0, std::min(table.size() - at, NAME_LIMIT));
  return end == nullptr ? nullptr : reinterpret_cast<const char*>(table.data() + at);
}

// A name from the file goes to the screen: control bytes and overlong names are tamed.
std::string printable(const char* name) {
  std::string out;
  for (; *name != '\0' && out.size() < LABEL_LIMIT; ++name) {
    auto c = static_cast<unsigned char>(*name);
    out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  return out.empty() ? "?" : out;
}

bool skipped(const Section& sec, const char* name) {
  for (std::uint32_t t : SKIPPED_TYPES)
    if (sec.type == t) return true;
  for (const char* n : SKIPPED_NAMES)
    if (std::strcmp(name, n) == 0) return true;
  return false;
}

// The load address: moved by the segment that holds the section, as a debugger's load does.
std::uint32_t load_address(const Section& sec, const std::vector<Segment>& segments) {
  for (const Segment& seg : segments) {
    if (seg.type != PT_LOAD) continue;
    std::uint64_t start = seg.vaddr;
    if (sec.addr >= start && std::uint64_t{sec.addr} + sec.size <= start + seg.memsz)
      return sec.addr + (seg.paddr - seg.vaddr);
  }
  return sec.addr;
}

std::uint32_t word_at(const ElfReadAt& read_at, std::uint64_t file_size, std::uint64_t offset,
                      bool& found) {
  std::uint8_t b[4];
  found = offset + 4 <= file_size && read_at(offset, b, sizeof b);
  return found ? le32(b) : 0;
}

struct Sections {
  std::vector<Section> all;
  std::vector<std::uint8_t> names;
};

Sections read_sections(const Reader& r, const std::uint8_t* h) {
  Sections out;
  std::uint32_t offset = le32(h + 32);
  std::uint16_t count = le16(h + 48);
  if (count == 0) return out;
  if (le16(h + 46) != SECTION_HEADER_SIZE)
    throw Refusal{"is a damaged ELF file: its section header size is wrong"};
  std::vector<std::uint8_t> raw = r.table(offset, count, SECTION_HEADER_SIZE, "section headers");
  for (std::size_t i = 0; i < count; ++i)
    out.all.push_back(parse_section(raw.data() + i * SECTION_HEADER_SIZE));
  std::uint16_t names = le16(h + 50);
  if (names >= count) throw Refusal{"is a damaged ELF file: its section name table is missing"};
  const Section& n = out.all[names];
  out.names = r.table(n.offset, n.size, 1, "section name table");
  return out;
}

// gp as the program was linked for: the _gp symbol, else the .reginfo word, else 0. Only the
// first symbol table is read and each name costs at most four bytes' compare, so a crafted
// file (names without an end, many tables sharing one huge string table) costs linear time.
std::uint32_t find_gp(const Reader& r, const ElfReadAt& read_at, std::uint64_t file_size,
                      const std::vector<Section>& sections, const std::vector<Segment>& segments) {
  for (const Section& sym : sections) {
    if (sym.type != SHT_SYMTAB || sym.link >= sections.size()) continue;
    const Section& str = sections[sym.link];
    std::vector<std::uint8_t> symbols =
        r.table(sym.offset, sym.size / SYMBOL_SIZE, SYMBOL_SIZE, "symbol table");
    std::vector<std::uint8_t> strings = r.table(str.offset, str.size, 1, "symbol names");
    for (std::size_t at = 0; at + SYMBOL_SIZE <= symbols.size(); at += SYMBOL_SIZE) {
      const std::uint32_t name = le32(symbols.data() + at);
      if (name < strings.size() && strings.size() - name >= sizeof GP_NAME &&
          std::memcmp(strings.data() + name, GP_NAME, sizeof GP_NAME) == 0)
        return le32(symbols.data() + at + 4);
    }
    break;
  }
  bool found = false;
  for (const Section& sec : sections) {
    if (sec.type != SHT_MIPS_REGINFO || sec.size < REGINFO_GP_OFFSET + 4) continue;
    std::uint32_t gp =
        word_at(read_at, file_size, std::uint64_t{sec.offset} + REGINFO_GP_OFFSET, found);
    if (found) return gp;
  }
  for (const Segment& seg : segments) {
    if (seg.type != PT_MIPS_REGINFO || seg.filesz < REGINFO_GP_OFFSET + 4) continue;
    std::uint32_t gp =
        word_at(read_at, file_size, std::uint64_t{seg.offset} + REGINFO_GP_OFFSET, found);
    if (found) return gp;
  }
  return 0;
}

// Whether the file holds each piece is checked where every format's is, before sending.
void check_pieces(std::vector<ImagePiece>& pieces) {
  std::stable_sort(pieces.begin(), pieces.end(),
                   [](const ImagePiece& a, const ImagePiece& b) { return a.address < b.address; });
  std::uint64_t end_of_previous = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const ImagePiece& p = pieces[i];
    if (std::uint64_t{p.address} + p.size > 0x100000000ULL)
      throw Refusal{"is a damaged ELF file: " + p.label + " runs past the end of memory"};
    if (i > 0 && p.address < end_of_previous)
      throw Refusal{"is a damaged ELF file: " + p.label + " overlaps " + pieces[i - 1].label};
    end_of_previous = std::uint64_t{p.address} + p.size;
  }
}

LoadImage read_image(const ElfReadAt& read_at, std::uint64_t file_size) {
  Reader r(read_at, file_size);
  std::vector<std::uint8_t> header = r.table(0, 1, HEADER_SIZE, "header");
  const std::uint8_t* h = header.data();
  if (std::memcmp(h, ELF_MAGIC, sizeof ELF_MAGIC) != 0) throw Refusal{"is not an ELF file"};
  if (std::string what = what_it_is(h); !what.empty())
    throw Refusal{"is " + what + "; only 32-bit little-endian MIPS executables load"};

  std::vector<Segment> segments;
  if (std::uint16_t count = le16(h + 44); count > 0) {
    if (le16(h + 42) != PROGRAM_HEADER_SIZE)
      throw Refusal{"is a damaged ELF file: its program header size is wrong"};
    std::vector<std::uint8_t> raw =
        r.table(le32(h + 28), count, PROGRAM_HEADER_SIZE, "program headers");
    for (std::size_t i = 0; i < count; ++i)
      segments.push_back(parse_segment(raw.data() + i * PROGRAM_HEADER_SIZE));
  }
  Sections sections = read_sections(r, h);

  LoadImage image;
  image.pc = le32(h + 24);
  if (!sections.all.empty()) {
    for (const Section& sec : sections.all) {
      if ((sec.flags & SHF_ALLOC) == 0 || sec.type == SHT_NOBITS || sec.size == 0) continue;
      const char* name = string_at(sections.names, sec.name);
      if (name == nullptr)
        throw Refusal{"is a damaged ELF file: a section name is out of range or endless"};
      if (skipped(sec, name)) continue;
      image.pieces.push_back({load_address(sec, segments), sec.size, sec.offset, printable(name)});
    }
  } else {
    for (const Segment& seg : segments)
      if (seg.type == PT_LOAD && seg.filesz > 0)
        image.pieces.push_back({seg.paddr, seg.filesz, seg.offset, "LOAD"});
  }
  if (image.pieces.empty()) throw Refusal{"is an ELF file with nothing to load"};
  check_pieces(image.pieces);
  image.gp = find_gp(r, read_at, file_size, sections.all, segments);
  return image;
}

}  // namespace

ElfResult read_elf_image(const ElfReadAt& read_at, std::uint64_t file_size) {
  ElfResult result;
  try {
    result.image = read_image(read_at, file_size);
  } catch (const Refusal& refusal) {
    result.problem = refusal.text;
  }
  return result;
}

}  // namespace dravel
