#pragma once
// The system's words for a failure, to follow a message that names the file.
#include <string>

namespace dravel {

// For `error_number` (an errno value); a plain word when the system gave none.
std::string system_reason(int error_number);
// For errno as the call that just failed left it (fopen, open): read it before anything else.
std::string open_failure();

}  // namespace dravel
