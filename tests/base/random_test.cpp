// The runtime generator that grit and vary tables reproduce.
#include <gtest/gtest.h>

#include "base/random.h"
#include "drovine.h"

namespace {

TEST(RuntimeRandom, ReproducesTheClassicSequence) {
  dro::RuntimeRandom r;
  r.Seed(0);
  EXPECT_EQ(r.Next(), 38);
  EXPECT_EQ(r.Next(), 7719);
  EXPECT_EQ(r.Next(), 21238);
  r.Seed(1);
  EXPECT_EQ(r.Next(), 41);
  dro::RuntimeRandom unseeded;  // the runtime starts as if seeded with 1
  EXPECT_EQ(unseeded.Next(), 41);
  r.Seed(0xFFFFFFFFu);
  for (int i = 0; i < 1000; ++i) {
    const int v = r.Next();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 0x7FFF);
  }
}

TEST(RandomTable, KeepsOnlyTheLowByteOfEachRemainder) {
  DRO_SetRandomSeed(0);
  dro::RandomTable t;
  dro::BuildRandomTable(t, 1000, 3);
  // 38 % 1000 = 38, 7719 % 1000 = 719 -> 207, 21238 % 1000 = 238.
  EXPECT_EQ(t.data[0], 38);
  EXPECT_EQ(t.data[1], 719 & 0xFF);
  EXPECT_EQ(t.data[2], 238);
  EXPECT_EQ(t.length, 3);
  EXPECT_EQ(t.modulus, 1000);
  const uint8_t* data = t.data.data();
  dro::BuildRandomTable(t, 1000, 3);  // matches: untouched
  EXPECT_EQ(t.data.data(), data);
  dro::BuildRandomTable(t, 256, 3);  // other modulus: rebuilt
  EXPECT_EQ(t.modulus, 256);
  EXPECT_EQ(t.data[1], 7719 % 256);
}

}  // namespace
