#include "loader/srec_send.h"

#include "core/state.h"

namespace dravel {

int srec_send(State&, const char*, int) { return -1; }

}  // namespace dravel
