// The stack protector's two halves: the value every protected frame copies on entry and compares
// on return, and what runs when the two differ. GCC's libssp would bring both, but it seeds the
// value through ADVAPI32's cryptography functions, and the DLL imports only KERNEL32, USER32 and
// msvcrt.

#include <windows.h>

#include <cstdint>

// The names are the compiler's: its protected functions read the one and call the other.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" {

// The load configuration (host/load_config.S) names this as the module's security cookie. A
// loader that finds the value all of Microsoft's linkers write there replaces it with a random one
// before any of the module's code runs, as Windows and Wine do.
#if defined(_WIN64)
uintptr_t __stack_chk_guard = 0x00002B992DDFA232;
#else
uintptr_t __stack_chk_guard = 0xBB40E64E;
#endif

// A frame's copy no longer matches: the stack cannot be trusted for unwinding, a handler or a
// message, so the process ends at once, as a failed /GS check ends it (a fail-fast interrupt; the
// trap behind it for a system that lets the interrupt return).
[[noreturn]] void __stack_chk_fail() {
  __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
  __builtin_trap();
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
