// The floating-point state the library's code runs under. A host decides its thread's state,
// and some unmask exceptions: programs of some Pascal runtimes set the x87 control word to
// 0x1332 (invalid operation, division by zero and overflow raise exceptions) and MXCSR to
// 0x1900. A NaN or a division by zero in the library, or in the system code it calls (a
// metafile's frame, a stretch), would then raise a hardware exception inside the host.
#pragma once

#include <windows.h>

#include <cstdint>

namespace risview::win {

struct FloatingPointState {
  uint16_t x87 = 0;
  uint32_t mxcsr = 0;
};

// Every exception masked and rounding to nearest; the x87 at the extended precision that
// GCC's code is compiled for (the MinGW runtime's own start-up state).
inline constexpr FloatingPointState kMaskedFloatingPoint{0x037F, 0x1F80};

// A 32-bit process may run on a processor without SSE, where MXCSR does not exist.
inline bool hasMxcsr() {
#if defined(__x86_64__)
  return true;
#else
  static const bool present = IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != FALSE;
  return present;
#endif
}

inline FloatingPointState floatingPointState() {
  FloatingPointState s;
  __asm__ __volatile__("fnstcw %0" : "=m"(s.x87));
  if (hasMxcsr()) __asm__ __volatile__("stmxcsr %0" : "=m"(s.mxcsr));
  return s;
}

// Flags raised under the state left behind are cleared first: loading a control word that
// unmasks a pending x87 exception would raise it at the next floating-point instruction.
inline void setFloatingPointState(const FloatingPointState& s) {
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(s.x87));
  if (hasMxcsr()) __asm__ __volatile__("ldmxcsr %0" : : "m"(s.mxcsr));
}

// Runs a scope with every floating-point exception masked and gives the caller back its own
// state, exceptions unmasked or not, on every way out.
class MaskedFloatingPoint {
 public:
  MaskedFloatingPoint() : caller_(floatingPointState()) {
    setFloatingPointState(kMaskedFloatingPoint);
  }
  ~MaskedFloatingPoint() { setFloatingPointState(caller_); }
  MaskedFloatingPoint(const MaskedFloatingPoint&) = delete;
  MaskedFloatingPoint& operator=(const MaskedFloatingPoint&) = delete;

 private:
  FloatingPointState caller_;
};

}  // namespace risview::win
