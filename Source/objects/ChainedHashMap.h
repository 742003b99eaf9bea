// ChainedHashMap: the hash table design shared by StringHashMap (names) and NameHashMap
// (resource ids). The first entry of each bucket lives inline in the bucket array, further
// entries are chained one by one; the table doubles (0 -> 1 -> 2 -> 4 ...) before an insert that
// would push the load above 0.7. An insert under a key that is present keeps the first value.
//
// Threads: no lock of its own; the owner guards it.
#pragma once

#include <cstdint>
#include <new>
#include <utility>

namespace CorvaneEngine {

template <typename Key, typename Value, typename Traits>
class ChainedHashMap {
public:
  struct Entry {
    Value value{};
    uint32_t occupied = 0;
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
    delete[] buckets;
  }

  // Adds the pair unless the key is present. Always answers true (see Find).
  bool Insert(const Key& key, const Value& value) {
    if (static_cast<double>(count + 1) > 0.7 * static_cast<double>(bucketCount)) Grow();
    Entry* target = &buckets[IndexOf(key)];
    if (target->occupied) {
      Entry* last = target;
      for (Entry* e = target; e; e = e->next) {
        if (Traits::Equal(e->key(), key)) return true;
        last = e;
      }
      target = new Entry();
      last->next = target;
    }
    Occupy(*target, key, value);
    return true;
  }

  Entry* Find(const Key& key) const {
    if (bucketCount == 0) return nullptr;
    Entry* e = &buckets[IndexOf(key)];
    if (!e->occupied) return nullptr;
    for (; e; e = e->next) {
      if (Traits::Equal(e->key(), key)) return e;
    }
    return nullptr;
  }

  // Takes the key's entry out of the map; false when there was none.
  bool Remove(const Key& key) {
    if (bucketCount == 0) return false;
    Entry* head = &buckets[IndexOf(key)];
    if (!head->occupied) return false;
    if (Traits::Equal(head->key(), key)) {
      if (Entry* successor = head->next) {
        head->key() = successor->key();
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
      if (Traits::Equal(e->key(), key)) {
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
  // bucketCount is always a power of two, so the mask is the modulo.
  uint32_t IndexOf(const Key& key) const { return Traits::Hash(key) & (bucketCount - 1); }

  void Occupy(Entry& target, const Key& key, const Value& value) {
    new (target.keyStorage) Key(key);
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
    buckets = new Entry[bucketCount];
    count = 0;
    for (uint32_t i = 0; i < oldCount; ++i) {
      if (!old[i].occupied) continue;
      for (Entry* e = &old[i]; e;) {
        Entry* next = e->next;
        Insert(e->key(), e->value);
        if (e == &old[i]) {
          e->key().~Key();
        } else {
          FreeChained(e);
        }
        e = next;
      }
    }
    delete[] old;
  }

  Entry* buckets = nullptr;
  uint32_t count = 0;
  uint32_t bucketCount = 0;
};

}  // namespace CorvaneEngine
