#pragma once

#include <cstdint>
#include <new>
#include <utility>

// The Manager's growable array: the slot arrays (one element per slot, sized once at start-up)
// and the status text buffer (appended to on every repaint, keeping its largest capacity).
//
// Growth allocates new storage, constructs every element and moves the old elements over, so the
// element type must be default-constructible and move-assignable; the capture sources are moved
// only while none of them holds a picture or a graph. Growth never throws: when memory runs out
// the array stays as it was and the operation reports false.
//
// Threads: none of its own; the owner's thread (the GUI thread) is the only user.
template <typename T>
class CExArray {
 public:
  static constexpr int kInitialCapacity = 32;
  static constexpr int kGrowBy = 32;

  CExArray() : m_size(0), m_capacity(0), m_growBy(kGrowBy), m_data(nullptr) {
    m_data = new (std::nothrow) T[kInitialCapacity]();
    if (m_data != nullptr) m_capacity = kInitialCapacity;
  }

  virtual ~CExArray() { delete[] m_data; }

  CExArray(const CExArray&) = delete;
  CExArray& operator=(const CExArray&) = delete;

  int Size() const { return m_size; }
  int Capacity() const { return m_capacity; }
  int GrowBy() const { return m_growBy; }
  T* Data() { return m_data; }
  const T* Data() const { return m_data; }

  T& operator[](int index) { return m_data[index]; }
  const T& operator[](int index) const { return m_data[index]; }

  // Sets the element count. Beyond the capacity, storage for exactly count elements replaces the
  // old one. Elements that stay keep their values; a shrunk array keeps its capacity.
  bool SetSize(int count) {
    if (count < 0) return false;
    if (count > m_capacity && !Reallocate(count)) return false;
    m_size = count;
    return true;
  }

  // Copies count elements behind the last one, growing the capacity by the smallest multiple of
  // the grow-by value that makes room.
  bool Append(int count, const T* items) {
    if (count < 0 || (count > 0 && items == nullptr)) return false;
    const std::int64_t needed = static_cast<std::int64_t>(m_size) + count;
    if (needed > kLargestCount) return false;
    if (needed > m_capacity) {
      const std::int64_t missing = needed - m_capacity;
      const std::int64_t steps = (missing + m_growBy - 1) / m_growBy;
      const std::int64_t capacity = m_capacity + steps * m_growBy;
      if (capacity > kLargestCount || !Reallocate(static_cast<int>(capacity))) return false;
    }
    for (int i = 0; i < count; ++i) m_data[m_size + i] = items[i];
    m_size += count;
    return true;
  }

 private:
  static constexpr std::int64_t kLargestCount = 0x7FFFFFFF;

  bool Reallocate(int capacity) {
    T* data = new (std::nothrow) T[capacity]();
    if (data == nullptr) return false;
    const int kept = m_size < capacity ? m_size : capacity;
    for (int i = 0; i < kept; ++i) data[i] = std::move(m_data[i]);
    delete[] m_data;
    m_data = data;
    m_capacity = capacity;
    return true;
  }

  int m_size;
  int m_capacity;
  int m_growBy;
  T* m_data;
};
