#include "engine/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace orvalis {
namespace {

// Published vectors, and lengths at the padding's edges (55, 56 and 64 bytes),
// each also hashed in pieces of 1 to 130 bytes.
TEST(Sha256, GivesThePublishedDigestsWholeAndInPieces) {
  const std::pair<std::string, const char*> cases[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
      {std::string(56, 'x'), "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
      {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [input, digest] : cases) {
    EXPECT_EQ(hexText(sha256(input)), digest) << input.size() << " bytes";
    for (std::size_t piece = 1; piece <= 130 && input.size() < 1000; ++piece) {
      Sha256 hash;
      for (std::size_t at = 0; at < input.size(); at += piece) hash.update(input.substr(at, piece));
      ASSERT_EQ(hexText(hash.finish()), digest) << input.size() << " bytes by " << piece;
    }
  }
}

}  // namespace
}  // namespace orvalis
