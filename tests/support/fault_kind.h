#pragma once
// Names the kind of a fault from the instruction at its address, not from its exception code
// alone: under qemu-user emulation a stray read or write arrives as an illegal instruction, and
// a division by zero as a floating-point fault. The checking build's undefined-behaviour traps
// are the undefined instructions (ud1 with the check's kind as its operand from this Clang, ud2
// from others), which the bytes at the fault address tell apart from anything else.

#include <windows.h>

#include <string>

namespace testing_support {

// A short description: "an undefined-behaviour trap (ud1 at 0x...)", "exception 0x... at 0x...,
// not an undefined-behaviour trap (instruction bytes ..)" with the kind the code claims where it
// can be trusted, or that the kind cannot be told when the instruction cannot be read.
std::string DescribeFault(DWORD code, const void* address);

}  // namespace testing_support
