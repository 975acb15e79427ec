#include "tests/support/fault_kind.h"

#include <cstdio>
#include <cstring>

namespace testing_support {

namespace {

std::string Hex(const void* address) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%p", address);
  return text;
}

// Whether `size` bytes from `address` lie in committed, readable memory. Asked of the process's
// own view of its memory: ReadProcessMemory goes through the Wine server, which under qemu-user
// reads the emulator's memory, not the emulated program's.
bool Readable(const void* address, size_t size) {
  const auto* at = static_cast<const unsigned char*>(address);
  const unsigned char* const end = at + size;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region{};
    if (at == nullptr || VirtualQuery(at, &region, sizeof region) != sizeof region) return false;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (region.State != MEM_COMMIT || (region.Protect & readable) == 0 ||
        (region.Protect & PAGE_GUARD) != 0) {
      return false;
    }
    at = static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

}  // namespace

std::string DescribeFault(DWORD code, const void* address) {
  char head[64];
  std::snprintf(head, sizeof head, "exception 0x%08lX at ", static_cast<unsigned long>(code));
  unsigned char bytes[2] = {};
  if (!Readable(address, sizeof bytes)) {
    return head + Hex(address) + ": its kind cannot be told, the instruction there cannot be read";
  }
  std::memcpy(bytes, address, sizeof bytes);
  if (bytes[0] == 0x0F && bytes[1] == 0x0B) {
    return "an undefined-behaviour trap (ud2 at " + Hex(address) + ")";
  }
  char instruction[48];
  std::snprintf(instruction, sizeof instruction, "instruction bytes %02X %02X", bytes[0], bytes[1]);
  std::string text = head + Hex(address) + ", not an undefined-behaviour trap (" + instruction;
  // An emulator reports other faults under these codes, so they do not name the kind.
  if (code == EXCEPTION_ILLEGAL_INSTRUCTION || code == EXCEPTION_FLT_INVALID_OPERATION) {
    return text + "); its kind cannot be told from the code";
  }
  if (code == EXCEPTION_ACCESS_VIOLATION) return text + "): a bad memory access";
  if (code == EXCEPTION_INT_DIVIDE_BY_ZERO) return text + "): a division by zero";
  return text + ")";
}

}  // namespace testing_support
