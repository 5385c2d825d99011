#include "loader/dload_dsave.h"

#include "core/state.h"

namespace dravel {

int dload_key(State&) { return 0; }
int dsave_key(State&) { return 0; }
int dload_command(State&, char*) { return -1; }
int dsave_command(State&, char*) { return -1; }
int dload_file(State&, const char*, std::uint32_t) { return -1; }

}  // namespace dravel
