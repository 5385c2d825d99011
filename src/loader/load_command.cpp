#include "loader/load_command.h"

#include "core/state.h"

namespace dravel {

LoadFormat detect_format(State&, const char*) { return FORMAT_UNKNOWN; }
int load_file(State&, const char*, int) { return -1; }
int load_command(State&, char*) { return 0; }
int load_key(State&) { return 0; }
int load_request_callback(State&, int) { return -1; }

}  // namespace dravel
