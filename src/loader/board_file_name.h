#pragma once
// The rule for a file the board names: a plain relative name below the load directory. The
// board is at the far end of a cable or a network port, so its name is not trusted: with an
// absolute path, a drive, a share or ".." it could read any file the user can.
#include <string_view>

namespace dravel {

// Why `name` is refused, or nullptr when it names something below the load directory. Both
// separators count on every platform, since the same name reaches a Windows build.
const char* board_file_name_refusal(std::string_view name);

}  // namespace dravel
