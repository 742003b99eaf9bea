// Name hashes: the ids stored in data files and passed by the game. (The table keyed by them is
// the resource manager suite's matter: every load takes its file out of the pending table.)
#include "resources/NameHash.h"

#include <gtest/gtest.h>

#include "objects/SharedString.h"

using namespace CorvaneEngine;

// FNV-1a, but with bytes of 0x80 and more sign-extended; case makes a different id.
uint32_t Reference(const std::string& name) {
  uint32_t hash = 0x811C9DC5u;
  for (char c : name) hash = (hash ^ static_cast<uint32_t>(static_cast<int32_t>(c))) * 0x01000193u;
  return hash;
}

TEST(NameHash, TypeIdsAndHighBytes) {
  for (const char* name : {"", "Sound", "Mesh", "Texture", "texture", "\x80", "\xFFz"})
    EXPECT_EQ(NameHash(name).value, Reference(name)) << name;
  EXPECT_EQ(NameHash("Texture_Mip!", 11), NameHash(SharedString("Texture_Mip")));
  EXPECT_EQ(NameHash("\x80", 1).value, Reference("\x80"));
  static_assert(NameHash("Sound") == 0xB3CA9A34u, "type id must be a constant expression");
}
