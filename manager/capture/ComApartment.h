#pragma once

#include <objbase.h>

namespace tvq {

// One apartment-threaded COM initialisation of the constructing thread, balanced at destruction.
// A camera holds one for its whole life; when an array grows and moves its cameras, each new
// object initialises for itself, so the count stays one per living object.
class ComApartment {
 public:
  ComApartment() : m_initialized(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComApartment() {
    // CoInitialize can refuse (a thread already in the multithreaded apartment); only a
    // successful call is balanced.
    if (m_initialized) CoUninitialize();
  }
  ComApartment(ComApartment&&) noexcept : ComApartment() {}
  ComApartment& operator=(ComApartment&&) noexcept { return *this; }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool m_initialized;
};

}  // namespace tvq
