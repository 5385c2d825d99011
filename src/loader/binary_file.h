#pragma once
// An executable opened for binary reading, closed on every path out of a loader.
#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/system_reason.h"

namespace dravel {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using BinaryFile = std::unique_ptr<std::FILE, FileCloser>;

inline BinaryFile open_binary(const char* name) {
  return BinaryFile(std::fopen(name, "rb"));
}

// Size in bytes, or -1; the read position is kept.
std::int64_t binary_file_size(std::FILE* f);

}  // namespace dravel
