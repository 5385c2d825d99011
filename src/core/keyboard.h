#pragma once
// The keyboard layer: the key ring, and the polling and blocking reads.
#include <array>

#include "base/keys.h"

namespace dravel {

class Core;

// 1024 keys; an index wraps to 0 when it would reach 1024.
struct KeyQueue {
  static constexpr int CAPACITY = 1024;
  std::array<KeyCode, CAPACITY> data{};
  int count = 0;
  int write_index = 0;
  int read_index = 0;

  bool full() const { return count == CAPACITY; }
  void push(KeyCode k);
  KeyCode pop();
};

inline constexpr int POLL_KEY = 1;
inline constexpr int POLL_BREAK = 2;
inline constexpr int POLL_RECEIVE = 4;

// Moves at most one console key into the queue; true when the queue holds a key.
bool poll_keyboard(Core& core);
// Moves every key the console holds into the queue while it has room (ESC sets abort_flag):
// a wait that is not the terminal's own still hears ESC however much was typed before it.
void take_waiting_keys(Core& core);
// Waits for a key and takes the oldest; taking ESC ends the program.
KeyCode read_key(Core& core);
int poll_input(Core& core);

}  // namespace dravel
