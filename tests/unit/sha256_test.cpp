#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/sha256.h"

namespace {

std::string Hex(const platform::Sha256::Digest& digest) {
  std::string text;
  for (const uint8_t byte : digest) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

// The published test vectors, each given whole and in pieces that straddle the
// 64-byte blocks and the padding's boundary, so that no way of feeding it changes it.
TEST(Sha256, GivesThePublishedDigestsHoweverTheBytesArrive) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    platform::Sha256 whole;
    whole.Update(c.message.data(), c.message.size());
    EXPECT_EQ(Hex(whole.Finish()), c.digest) << c.message.size() << " bytes whole";
    for (const size_t piece : {size_t{1}, size_t{55}, size_t{63}, size_t{64}, size_t{65}, size_t{4099}}) {
      platform::Sha256 pieces;
      for (size_t at = 0; at < c.message.size(); at += piece) {
        pieces.Update(c.message.data() + at, std::min(piece, c.message.size() - at));
      }
      EXPECT_EQ(Hex(pieces.Finish()), c.digest) << c.message.size() << " bytes in pieces of " << piece;
    }
  }
  platform::Sha256 reused;  // Finish starts it afresh
  reused.Update("x", 1);
  reused.Finish();
  reused.Update("abc", 3);
  EXPECT_EQ(Hex(reused.Finish()), cases[1].digest);
}

}  // namespace
