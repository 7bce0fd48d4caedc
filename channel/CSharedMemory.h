#pragma once

#include <windows.h>

#include "common/Lifetime.h"

// One named, page-file-backed section guarded by its own named mutex ("Mutex of <name>").
// Whichever process calls Create first makes the section; the other opens it. Every copy is
// bounded by the size this side asked for and by the section's real size, so two processes that
// asked for different sizes never reach past the section.
//
// Threads: an object is used by one thread at a time; the named mutex serialises the two
// processes, and is held only while a view is mapped or for a short block that keeps two copies
// together (SharedMemoryHold). Every wait on it is bounded by the caller's time-out.
class CSharedMemory {
 public:
  CSharedMemory() = default;
  // Closes through Close, so that the mapping goes before the mutex as it does there.
  virtual ~CSharedMemory();

  bool Create(const wchar_t* name, int size);
  bool Read(void* destination, int capacity, DWORD timeoutMs);
  bool Write(const void* source, int length, DWORD timeoutMs);
  // Writes length bytes at offset bytes into the section, as Write does at its start: the whole
  // section is mapped for the one copy. Bytes beyond the recorded or the real size are left out.
  bool WriteAt(int offset, const void* source, int length, DWORD timeoutMs);
  void Close();

  HANDLE MappingHandle() const { return m_mapping.Get(); }
  HANDLE MutexHandle() const { return m_mutex.Get(); }
  int Size() const { return m_size; }

  // Longest section name kept; longer names are cut so that the mutex name fits its buffer.
  static constexpr int kMaxNameLength = 255;

 private:
  enum class Direction { FromSection, ToSection };
  bool Copy(void* buffer, int offset, int length, DWORD timeoutMs, Direction direction);

  tvq::UniqueKernelHandle m_mapping;
  tvq::UniqueKernelHandle m_mutex;
  int m_size = 0;
};

// Holds one channel object's mutex for a block, waiting at most timeoutMs for it. An abandoned
// mutex counts as held (its owner ended inside a copy); so does an object whose Create failed,
// on which every copy copies nothing. The mutex is recursive, so the holder's own Read and Write
// of the same object still get in: a block can keep two copies together.
class SharedMemoryHold {
 public:
  SharedMemoryHold(const CSharedMemory& object, DWORD timeoutMs);
  ~SharedMemoryHold();
  SharedMemoryHold(const SharedMemoryHold&) = delete;
  SharedMemoryHold& operator=(const SharedMemoryHold&) = delete;

  bool Held() const { return m_held; }

 private:
  HANDLE m_mutex;  // not owned; null when no release is owed
  bool m_held;
};
