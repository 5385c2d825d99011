#pragma once
// Texts that name control bytes: \r, \n, \t, \\ and \xHH (two hex digits).
#include <string>
#include <string_view>

namespace dravel {

// The bytes `text` stands for; false (and `out` unspecified) for an unknown or cut-short
// escape.
bool unescape(std::string_view text, std::string& out);

}  // namespace dravel
