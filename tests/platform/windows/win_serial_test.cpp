#include "platform/windows/win_serial.h"

#include <gtest/gtest.h>

#include "support/rig.h"

namespace dravel::platform {
namespace {

TEST(WinSerial, MissingPortFailsWithTheSystemReason) {
  WinSerialDevice port;
  OpenResult r = port.open("COM250", 57600);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(r.error.find("error "), std::string::npos) << r.error;  // words, not a bare number
  EXPECT_FALSE(port.is_open());
  std::uint8_t b = 0;
  EXPECT_EQ(port.read(&b, 1), -1);
  EXPECT_EQ(port.write(&b, 1), -1);
}

TEST(WinSerial, FileThatIsNoPortIsRefusedRatherThanLeftWithBlockingReads) {
  test::TempDir dir;
  std::string path = dir.write("not-a-port", "data");
  WinSerialDevice port;
  OpenResult r = port.open(path, 57600);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(port.is_open());
}

}  // namespace
}  // namespace dravel::platform
