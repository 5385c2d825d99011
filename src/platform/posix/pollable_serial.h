#pragma once
// What the idle wait needs of a serial device, whichever kind it is: a descriptor to sleep on.
namespace dravel::platform {

class PollableSerial {
 public:
  virtual ~PollableSerial() = default;
  // The descriptor while the device is usable and has room for what it brings, else -1.
  virtual int fd() const = 0;
  // The descriptor to wait on for room for output, else -1 (a device whose writes never
  // leave bytes behind, or a queue with nothing in it).
  virtual int output_fd() const = 0;
  // A device that queues output itself (a network port) rather than in a driver: its queue
  // is given room whenever room comes, whoever waits, and with nothing queued it has room.
  virtual bool queues_output() const { return false; }
  virtual void send_queued() {}
  // Takes in what the device has now, held for the next read.
  virtual void take_input() = 0;
  // The wait saw a hang-up on the descriptor.
  virtual void note_hang_up() = 0;
};

}  // namespace dravel::platform
