#include "channel/CSharedMemory.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr int kNameBufferLength = 260;

void CutName(const wchar_t* name, wchar_t (&out)[CSharedMemory::kMaxNameLength + 1]) {
  out[0] = L'\0';
  if (name == nullptr) return;
  wcsncpy(out, name, CSharedMemory::kMaxNameLength);
  out[CSharedMemory::kMaxNameLength] = L'\0';
}

void BuildMutexName(const wchar_t* sectionName, wchar_t (&out)[kNameBufferLength]) {
  // _snwprintf does not terminate a cut text; the last character is set by hand.
  _snwprintf(out, kNameBufferLength, L"Mutex of %ls", sectionName);
  out[kNameBufferLength - 1] = L'\0';
}

// The real size of a mapped view: the section may have been created by the other process with a
// size smaller than the one this side asked for.
SIZE_T ViewSize(const void* view) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(view, &info, sizeof(info)) != sizeof(info)) return 0;
  return info.RegionSize;
}

}  // namespace

CSharedMemory::~CSharedMemory() { Close(); }

bool CSharedMemory::Create(const wchar_t* name, int size) {
  if (name == nullptr || size < 0) return false;
  wchar_t sectionName[kMaxNameLength + 1];
  CutName(name, sectionName);
  if (!m_mapping) {
    m_mapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       static_cast<DWORD>(size), sectionName));
    if (!m_mapping) return false;
  }
  if (!m_mutex) {
    wchar_t mutexName[kNameBufferLength];
    BuildMutexName(sectionName, mutexName);
    m_mutex.Reset(CreateMutexW(nullptr, FALSE, mutexName));
    if (!m_mutex) return false;
  }
  m_size = size;
  return true;
}

bool CSharedMemory::Read(void* destination, int capacity, DWORD timeoutMs) {
  return Copy(destination, 0, capacity, timeoutMs, Direction::FromSection);
}

bool CSharedMemory::Write(const void* source, int length, DWORD timeoutMs) {
  return Copy(const_cast<void*>(source), 0, length, timeoutMs, Direction::ToSection);
}

bool CSharedMemory::WriteAt(int offset, const void* source, int length, DWORD timeoutMs) {
  if (offset < 0) return false;
  return Copy(const_cast<void*>(source), offset, length, timeoutMs, Direction::ToSection);
}

bool CSharedMemory::Copy(void* buffer, int offset, int length, DWORD timeoutMs,
                         Direction direction) {
  SharedMemoryHold hold(*this, timeoutMs);
  if (!hold.Held()) return false;

  if (!m_mapping || buffer == nullptr || length <= 0 || offset >= m_size) return true;
  tvq::UniqueMappedView view(MapViewOfFile(m_mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return true;

  const SIZE_T real = ViewSize(view.Get());
  if (static_cast<SIZE_T>(offset) >= real) return true;
  SIZE_T bytes = static_cast<SIZE_T>(length < m_size - offset ? length : m_size - offset);
  if (bytes > real - offset) bytes = real - offset;
  BYTE* place = static_cast<BYTE*>(view.Get()) + offset;
  if (direction == Direction::FromSection) {
    std::memcpy(buffer, place, bytes);
  } else {
    std::memcpy(place, buffer, bytes);
  }
  return true;
}

void CSharedMemory::Close() {
  m_mapping.Reset();
  m_mutex.Reset();
}

// A wait on a null mutex fails at once and, like an abandoned one, lets the caller go on; the
// null mapping then keeps every copy from touching anything.
SharedMemoryHold::SharedMemoryHold(const CSharedMemory& object, DWORD timeoutMs)
    : m_mutex(nullptr), m_held(false) {
  const DWORD wait = WaitForSingleObject(object.MutexHandle(), timeoutMs);
  if (wait == WAIT_TIMEOUT) return;
  m_held = true;
  if (wait != WAIT_FAILED) m_mutex = object.MutexHandle();
}

SharedMemoryHold::~SharedMemoryHold() {
  if (m_mutex != nullptr) ReleaseMutex(m_mutex);
}
