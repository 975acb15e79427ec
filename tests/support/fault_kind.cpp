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

// The trap instruction at `bytes`, if it is one: ud2 (0F 0B), ud1 (0F B9, which this Clang's
// -fsanitize-trap emits with the check's kind in its operand, behind an address-size prefix on
// x86_64) or ud0 (0F FF), after any prefixes. Null when it is none of them.
const char* TrapAt(const unsigned char* bytes, size_t size) {
  size_t i = 0;
  const auto isPrefix = [](unsigned char b) {
    return b == 0x66 || b == 0x67 || b == 0xF2 || b == 0xF3 || b == 0x26 || b == 0x2E ||
           b == 0x36 || b == 0x3E || b == 0x64 || b == 0x65;
  };
  while (i < size && isPrefix(bytes[i])) ++i;
#if defined(_WIN64)
  if (i < size && (bytes[i] & 0xF0) == 0x40) ++i;  // REX
#endif
  if (i + 1 >= size || bytes[i] != 0x0F) return nullptr;
  switch (bytes[i + 1]) {
    case 0x0B:
      return "ud2";
    case 0xB9:
      return "ud1";
    case 0xFF:
      return "ud0";
    default:
      return nullptr;
  }
}

}  // namespace

std::string DescribeFault(DWORD code, const void* address) {
  char head[64];
  std::snprintf(head, sizeof head, "exception 0x%08lX at ", static_cast<unsigned long>(code));
  if (!Readable(address, 2)) {
    return head + Hex(address) + ": its kind cannot be told, the instruction there cannot be read";
  }
  // Up to seven bytes, as far as they can be read: four prefixes, REX and the opcode's two.
  unsigned char bytes[7] = {};
  size_t size = 2;
  while (size < sizeof bytes && Readable(static_cast<const unsigned char*>(address) + size, 1)) {
    ++size;
  }
  std::memcpy(bytes, address, size);
  if (const char* trap = TrapAt(bytes, size)) {
    return std::string("an undefined-behaviour trap (") + trap + " at " + Hex(address) + ")";
  }
  char instruction[48];
  std::snprintf(instruction, sizeof instruction, "instruction bytes %02X %02X %02X", bytes[0],
                bytes[1], bytes[2]);
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
