#include "loader/exe_load.h"

#include "core/state.h"

namespace dravel {

int exe_load(State&, const char*, int) { return -1; }
int coff_load(State&, const char*, int) { return -1; }

}  // namespace dravel
