#include "sim/pacing.h"

#include <gtest/gtest.h>

#include "sim/monitor.h"

namespace dravel::sim {
namespace {

TEST(Pacing, TenBitTimesPerByteRoundedUp) {
  Pacer p;
  p.set_baud(9600);
  EXPECT_EQ(p.run_time_us(1), 1042u);  // 10/9600 s = 1041.67 us
  EXPECT_EQ(p.run_time_us(960), 1'000'000u);
  p.set_baud(115200);
  EXPECT_EQ(p.run_time_us(11520), 1'000'000u);
  EXPECT_EQ(p.run_time_us(1), 87u);
}

TEST(Pacing, BytesLeaveOnlyOnceTheyHaveCrossedTheLine) {
  Monitor m;
  m.set_baud(9600);
  m.receive("dw 80000000 400\r");  // some 12 KB of dump
  ASSERT_GT(m.take_output().size(), 2000u);
  m.receive("dw 80000000 400\r");
  std::uint8_t buf[4096];
  const std::uint64_t t0 = 5'000'000;
  EXPECT_EQ(m.transmit(buf, sizeof buf, t0), 0u);  // an idle line starts now
  EXPECT_EQ(m.next_output_us(t0), t0 + 1042);
  EXPECT_EQ(m.transmit(buf, sizeof buf, t0 + 1041), 0u);
  EXPECT_EQ(m.transmit(buf, sizeof buf, t0 + 1042), 1u);
  EXPECT_EQ(m.next_output_us(t0 + 1042), t0 + 2084);
  // A small buffer loses no line time: ten byte times give ten bytes, one at a time.
  std::size_t got = 0;
  while (m.transmit(buf, 1, t0 + 11 * 1042) == 1) ++got;
  EXPECT_EQ(got, 10u);
  // One second carries 960 bytes in all.
  got = 11 + m.transmit(buf, sizeof buf, t0 + 1'000'000);
  EXPECT_EQ(got, 960u);
  while (m.has_output()) m.transmit(buf, sizeof buf, t0 + 100'000'000);
  EXPECT_EQ(m.transmit(buf, sizeof buf, t0 + 100'000'000), 0u);
}

TEST(Pacing, ALineIdleSinceItsLastByteStartsAfreshAndBusyLinesRunOn) {
  Pacer p;
  p.set_baud(10'000);  // 1 ms a byte
  EXPECT_EQ(p.release(3, 0), 0u);
  EXPECT_EQ(p.release(3, 2000), 2u);
  // More output arrives while the line is busy: it follows back to back.
  EXPECT_EQ(p.release(5, 4000), 2u);
  EXPECT_EQ(p.release(3, 6000), 2u);
  EXPECT_EQ(p.release(1, 7000), 1u);
  // Idle from 7 ms: the next byte starts when it is there, not back at 7 ms.
  EXPECT_EQ(p.release(2, 20'000), 0u);
  EXPECT_EQ(p.release(2, 20'999), 0u);
  EXPECT_EQ(p.release(2, 22'000), 2u);
}

TEST(Pacing, OffByDefaultAndInTheUnpacedTransmit) {
  Monitor m;
  m.start();
  std::uint8_t buf[256];
  EXPECT_GT(m.transmit(buf, sizeof buf, 0), 10u);
  m.set_baud(300);
  m.receive("\r");
  EXPECT_EQ(m.transmit(buf, sizeof buf), 8u);  // the plain transmit ignores pacing
}

}  // namespace
}  // namespace dravel::sim
