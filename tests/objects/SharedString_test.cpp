// SharedString: copy-on-write sharing, the byte-exact comparisons, the extension helpers and the
// published SuperFastHash values.
#include "objects/SharedString.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

using CorvaneEngine::SharedString;
using CorvaneEngine::SuperFastHash;

// Counts every allocation of the test program, so that copies can be shown to allocate nothing.
static std::atomic<long> allocations{0};
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// These replace the global pair, so malloc and free do match; GCC's sanitizer build, seeing a
// new-expression's operator new and this free inlined together, warns that they do not.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#pragma GCC diagnostic pop

TEST(SharedString, HashMatchesThePublishedAlgorithm) {
  // Values of Paul Hsieh's reference code, one per tail case, a sign-extended tail byte and a
  // long input.
  EXPECT_EQ(0u, SuperFastHash(SharedString("")));
  EXPECT_EQ(0x115ea782u, SuperFastHash(SharedString("a")));
  EXPECT_EQ(0x516b8b44u, SuperFastHash(SharedString("ab")));
  EXPECT_EQ(0xd2be198au, SuperFastHash(SharedString("abc")));
  EXPECT_EQ(0xdad8b8dbu, SuperFastHash(SharedString("abcd")));
  EXPECT_EQ(0xda35aad9u, SuperFastHash(SharedString("Window")));
  EXPECT_EQ(0xa68c6882u, SuperFastHash(SharedString("hello world")));
  EXPECT_EQ(0xb4dfd4b5u, SuperFastHash(SharedString("ab\xe9")));
  EXPECT_EQ(0u, SuperFastHash(SharedString("\xff")));
  EXPECT_EQ(0x05bf7ce3u,
            SuperFastHash(SharedString("The quick brown fox jumps over the lazy dog")));
}

TEST(SharedString, EmptyStringsFromNullAndFromEmptyText) {
  SharedString fromNull(static_cast<const char*>(nullptr));
  EXPECT_EQ(0u, fromNull.Length());
  EXPECT_EQ(0u, fromNull.Capacity());
  EXPECT_STREQ("", fromNull.CStr());
  SharedString fromEmpty("");
  EXPECT_EQ(0u, fromEmpty.Length());
  EXPECT_EQ(1u, fromEmpty.Capacity());
  EXPECT_FALSE(static_cast<const char*>(nullptr) == fromEmpty);
  EXPECT_FALSE(static_cast<const char*>(nullptr) == fromNull);
  EXPECT_TRUE(fromNull == fromEmpty);
}

TEST(SharedString, CopiesShareUntilOneIsChanged) {
  SharedString original("alpha");
  SharedString copy = original;
  EXPECT_TRUE(copy.SharesRecordWith(original));
  EXPECT_EQ(2u, original.RefCount());
  copy.Append("beta");
  EXPECT_STREQ("alpha", original.CStr());
  EXPECT_STREQ("alphabeta", copy.CStr());
  EXPECT_EQ(1u, original.RefCount());
  EXPECT_EQ(1u, copy.RefCount());

  SharedString left("ab"), right("cd");
  SharedString joined = left + right;
  EXPECT_STREQ("abcd", joined.CStr());
  EXPECT_STREQ("ab", left.CStr());
  EXPECT_STREQ("cd", right.CStr());
  EXPECT_EQ(1u, joined.RefCount());
  EXPECT_EQ(1u, left.RefCount());
  EXPECT_STREQ("x/ab", ("x/" + left).CStr());
}

TEST(SharedString, ComparisonIsByteExactAndCaseSensitive) {
  EXPECT_TRUE(SharedString("Mesh") == SharedString("Mesh"));
  EXPECT_FALSE(SharedString("Mesh") == SharedString("mesh"));
  EXPECT_FALSE(SharedString("Mesh") == SharedString("Mesh "));
  EXPECT_TRUE("Mesh" == SharedString("Mesh"));
  EXPECT_FALSE("Mes" == SharedString("Mesh"));
  EXPECT_TRUE(SharedString("a\0b", 3) == SharedString("a\0b", 3));
  EXPECT_FALSE(SharedString("a\0b", 3) == SharedString("a\0c", 3));
}

TEST(SharedString, ExtensionsAreTheTailFromTheLastDot) {
  SharedString path("./textures/dir.v2/sprite.png");
  EXPECT_STREQ(".png", path.Tail(path.FindLast('.')).CStr());
  SharedString bare("README");
  EXPECT_EQ(-1, bare.FindLast('.'));
  SharedString whole = bare.Tail(bare.FindLast('.'));
  EXPECT_STREQ("README", whole.CStr());
  EXPECT_TRUE(whole.SharesRecordWith(bare));
  EXPECT_STREQ("", path.Tail(static_cast<int32_t>(path.Length())).CStr());
}

TEST(SharedString, AppendGrowsToExactlyTheNeededSize) {
  SharedString text("ab");
  text.Append("cde");
  EXPECT_EQ(5u, text.Length());
  EXPECT_EQ(5u, text.Capacity());
  EXPECT_EQ('\0', text.CStr()[5]);
  SharedString empty;
  empty.Append("");
  EXPECT_STREQ("", empty.CStr());
}

TEST(SharedString, CopyingAndAssigningNeverAllocate) {
  SharedString source("a name long enough to need a buffer");
  SharedString other("other");
  long before = allocations.load();
  {
    SharedString copy(source);
    SharedString assigned;  // a default string allocates its record: count it separately
    long afterDefault = allocations.load();
    assigned = source;
    assigned = other;
    assigned = assigned;
    SharedString passed = [](SharedString byValue) { return byValue; }(source);
    EXPECT_EQ(afterDefault, allocations.load());
    EXPECT_TRUE(passed.SharesRecordWith(source));
  }
  EXPECT_EQ(before + 1, allocations.load());  // only the default-constructed record
}
