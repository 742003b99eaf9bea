// ChainedHashMap: the hash table design shared by StringHashMap (names) and NameHashMap
// (resource ids). The first entry of each bucket lives inline in the bucket array, further
// entries are chained one by one; the table doubles (0 -> 1 -> 2 -> 4 ...) before an insert that
// would push the load above 0.7. An insert under a key that is present keeps the first value.
//
// Threads: no lock of its own; the owner guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

namespace CorvaneEngine {

// The memory of bucket arrays: LargeBlock's, reached through these two so that games, which see
// this header, need not see the allocator (ChainedHashMap.cpp).
void* AllocateHashBuckets(size_t bytes);
void FreeHashBuckets(void* block, size_t bytes);

template <typename Key, typename Value, typename Traits>
class ChainedHashMap {
 public:
  struct Entry {
    Value value{};
    uint32_t occupied = 0;
    // The key's hash, kept in what would be padding: a lookup skips the entries of other keys
    // without reaching into their key, and Grow places entries without hashing again.
    uint32_t hash = 0;
    Entry* next = nullptr;

    Key& key() { return *std::launder(reinterpret_cast<Key*>(keyStorage)); }
    const Key& key() const { return *std::launder(reinterpret_cast<const Key*>(keyStorage)); }

   private:
    friend class ChainedHashMap;
    // The key is built only while the entry is occupied, so an empty bucket array costs no
    // key construction (a SharedString key would otherwise allocate a record per bucket).
    alignas(Key) unsigned char keyStorage[sizeof(Key)];
  };
  using ReleaseCallback = void (*)(Entry&);

  ChainedHashMap() = default;
  ChainedHashMap(const ChainedHashMap&) = delete;
  ChainedHashMap& operator=(const ChainedHashMap&) = delete;
  ~ChainedHashMap() {
    Clear();
    FreeBuckets(buckets, bucketCount);
  }

  // Adds the pair unless the key is present. Always answers true (see Find).
  bool Insert(const Key& key, const Value& value) {
    if (static_cast<double>(count + 1) > 0.7 * static_cast<double>(bucketCount)) Grow();
    return InsertHashed(key, value, Traits::Hash(key));
  }

  Entry* Find(const Key& key) const {
    if (bucketCount == 0) return nullptr;
    uint32_t hash = Traits::Hash(key);
    Entry* e = &buckets[hash & (bucketCount - 1)];
    if (!e->occupied) return nullptr;
    for (; e; e = e->next) {
      if (Matches(*e, key, hash)) return e;
    }
    return nullptr;
  }

  // Takes the key's entry out of the map; false when there was none.
  bool Remove(const Key& key) {
    if (bucketCount == 0) return false;
    uint32_t hash = Traits::Hash(key);
    Entry* head = &buckets[hash & (bucketCount - 1)];
    if (!head->occupied) return false;
    if (Matches(*head, key, hash)) {
      if (Entry* successor = head->next) {
        head->key() = successor->key();
        head->hash = successor->hash;
        head->value = std::move(successor->value);
        head->next = successor->next;
        FreeChained(successor);
      } else {
        Vacate(*head);
      }
      --count;
      return true;
    }
    for (Entry* previous = head; previous->next; previous = previous->next) {
      Entry* e = previous->next;
      if (Matches(*e, key, hash)) {
        previous->next = e->next;
        FreeChained(e);
        --count;
        return true;
      }
    }
    return false;
  }

  // Empties every bucket, calling releaseCallback on each entry when it is set.
  void Clear() {
    for (uint32_t i = 0; i < bucketCount; ++i) {
      Entry& head = buckets[i];
      if (!head.occupied) continue;
      if (releaseCallback) releaseCallback(head);
      for (Entry* e = head.next; e;) {
        Entry* next = e->next;
        if (releaseCallback) releaseCallback(*e);
        FreeChained(e);
        e = next;
      }
      head.next = nullptr;
      Vacate(head);
    }
    count = 0;
  }

  // Visits every occupied entry: buckets in ascending order, inline entry first, then the chain
  // in insertion order.
  template <typename Visitor>
  void ForEach(Visitor&& visit) const {
    for (uint32_t i = 0; i < bucketCount; ++i) {
      if (!buckets[i].occupied) continue;
      for (Entry* e = &buckets[i]; e;) {
        Entry* next = e->next;  // lets the visitor read the entry while the walk stays valid
        visit(*e);
        e = next;
      }
    }
  }

  uint32_t Count() const { return count; }
  uint32_t BucketCount() const { return bucketCount; }

  ReleaseCallback releaseCallback = nullptr;

 private:
  static bool Matches(const Entry& entry, const Key& key, uint32_t hash) {
    return entry.hash == hash && Traits::Equal(entry.key(), key);
  }

  // The insert after the growth check; bucketCount is always a power of two, so the mask is the
  // modulo.
  bool InsertHashed(const Key& key, const Value& value, uint32_t hash) {
    Entry* target = &buckets[hash & (bucketCount - 1)];
    if (target->occupied) {
      Entry* last = target;
      for (Entry* e = target; e; e = e->next) {
        if (Matches(*e, key, hash)) return true;
        last = e;
      }
      target = new Entry();
      last->next = target;
    }
    Occupy(*target, key, value, hash);
    return true;
  }

  void Occupy(Entry& target, const Key& key, const Value& value, uint32_t hash) {
    new (target.keyStorage) Key(key);
    target.hash = hash;
    target.next = nullptr;
    target.value = value;
    target.occupied = 1;
    ++count;
  }

  static void Vacate(Entry& entry) {
    entry.key().~Key();
    entry.value = Value{};
    entry.occupied = 0;
  }

  static void FreeChained(Entry* entry) {
    entry->key().~Key();
    delete entry;
  }

  void Grow() {
    Entry* old = buckets;
    uint32_t oldCount = bucketCount;
    bucketCount = bucketCount == 0 ? 1 : bucketCount * 2;
    buckets = AllocateBuckets(bucketCount);
    count = 0;
    for (uint32_t i = 0; i < oldCount; ++i) {
      if (!old[i].occupied) continue;
      for (Entry* e = &old[i]; e;) {
        Entry* next = e->next;
        InsertHashed(e->key(), e->value, e->hash);
        if (e == &old[i]) {
          e->key().~Key();
        } else {
          FreeChained(e);
        }
        e = next;
      }
    }
    FreeBuckets(old, oldCount);
  }

  // Bucket arrays come from LargeBlock, so a large table sits on huge pages.
  static Entry* AllocateBuckets(uint32_t entries) {
    void* memory = AllocateHashBuckets(sizeof(Entry) * entries);
    if (memory == nullptr) throw std::bad_alloc();
    Entry* array = static_cast<Entry*>(memory);
    for (uint32_t i = 0; i < entries; ++i) new (&array[i]) Entry();
    return array;
  }

  static void FreeBuckets(Entry* array, uint32_t entries) {
    if (array == nullptr) return;
    if (!std::is_trivially_destructible<Entry>::value) {
      for (uint32_t i = 0; i < entries; ++i) array[i].~Entry();
    }
    FreeHashBuckets(array, sizeof(Entry) * entries);
  }

  Entry* buckets = nullptr;
  uint32_t count = 0;
  uint32_t bucketCount = 0;
};

}  // namespace CorvaneEngine
