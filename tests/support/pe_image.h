#pragma once
// A built DLL read as bytes, the way the loader would see it: its headers, exports, imported
// libraries, resources and exploit mitigations. Used by the tests that check the plug-in's file
// itself.

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Only headers of this program's own width are read: a DLL of the other architecture is not
// valid here.
class PeImage {
 public:
  explicit PeImage(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return;
    unsigned char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
      bytes_.insert(bytes_.end(), chunk, chunk + n);
    fclose(file);
    ReadHeaders();
  }
  // An image from bytes already read, such as a copy of a DLL's with a change made to it.
  explicit PeImage(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) { ReadHeaders(); }

  const std::vector<unsigned char>& bytes() const { return bytes_; }
  // Where in the file a structure that At or the headers returned lies.
  size_t OffsetOf(const void* inside) const {
    return static_cast<size_t>(static_cast<const unsigned char*>(inside) - bytes_.data());
  }
  const IMAGE_NT_HEADERS& headers() const { return *nt_; }

  // The file's checksum as Windows computes it (imagehlp's CheckSumMappedFile): the file's 16-bit
  // words summed with their carries folded back in, the header's own field left out, plus the
  // file's length. The loader checks it for drivers; signing tools and scanners report a wrong one.
  uint32_t ComputedChecksum() const {
    const size_t field = OffsetOf(&nt_->OptionalHeader.CheckSum);
    uint32_t sum = 0;
    for (size_t i = 0; i < bytes_.size(); i += 2) {
      if (i == field || i == field + 2) continue;
      sum += bytes_[i] | (i + 1 < bytes_.size() ? bytes_[i + 1] << 8 : 0);
      sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<uint32_t>(bytes_.size());
  }

 private:
  void ReadHeaders() {
    const auto* dos = Raw<IMAGE_DOS_HEADER>(0);
    if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    // Headers of this program's own width: a DLL of the other architecture is not valid here.
    nt_ = Raw<IMAGE_NT_HEADERS>(static_cast<uint32_t>(dos->e_lfanew));
    if (nt_ == nullptr || nt_->Signature != IMAGE_NT_SIGNATURE ||
        nt_->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
      nt_ = nullptr;
    }
  }

 public:
  bool valid() const { return nt_ != nullptr; }
  WORD machine() const { return nt_->FileHeader.Machine; }
  uint64_t imageBase() const { return nt_->OptionalHeader.ImageBase; }
  WORD fileCharacteristics() const { return nt_->FileHeader.Characteristics; }
  WORD dllCharacteristics() const { return nt_->OptionalHeader.DllCharacteristics; }
  uint32_t entryPoint() const { return nt_->OptionalHeader.AddressOfEntryPoint; }

  std::vector<IMAGE_SECTION_HEADER> Sections() const {
    const auto* first = IMAGE_FIRST_SECTION(nt_);
    return {first, first + nt_->FileHeader.NumberOfSections};
  }

  // A section's bytes as the file holds them (no more than its virtual size).
  std::vector<unsigned char> SectionBytes(const IMAGE_SECTION_HEADER& s) const {
    const size_t begin = std::min<size_t>(s.PointerToRawData, bytes_.size());
    const size_t size =
        std::min<size_t>({s.SizeOfRawData, s.Misc.VirtualSize, bytes_.size() - begin});
    return {bytes_.begin() + static_cast<ptrdiff_t>(begin),
            bytes_.begin() + static_cast<ptrdiff_t>(begin + size)};
  }

  IMAGE_DATA_DIRECTORY Directory(int index) const {
    return nt_->OptionalHeader.DataDirectory[index];
  }

  // The structure at a relative virtual address, or null when no section holds all of it. In a
  // section's tail past its file bytes the loader gives zeros, and so does this, never the bytes
  // of what follows in the file; a structure that straddles the two is null.
  template <class T>
  const T* At(uint32_t rva) const {
    static_assert(sizeof(T) <= sizeof(ZeroTail));
    const auto* sections = IMAGE_FIRST_SECTION(nt_);
    for (int i = 0; i < nt_->FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& s = sections[i];
      const uint32_t size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
      if (rva < s.VirtualAddress || rva - s.VirtualAddress + sizeof(T) > size) continue;
      const uint32_t offset = rva - s.VirtualAddress;
      if (offset + sizeof(T) <= s.SizeOfRawData) return Raw<T>(s.PointerToRawData + offset);
      if (offset >= s.SizeOfRawData) return reinterpret_cast<const T*>(ZeroTail);
      return nullptr;
    }
    return nullptr;
  }

  std::string StringAt(uint32_t rva) const {
    std::string text;
    for (const char* c = At<char>(rva); c != nullptr && *c != '\0'; c = At<char>(++rva)) {
      text.push_back(*c);
    }
    return text;
  }

 private:
  template <class T>
  const T* Raw(uint32_t offset) const {
    if (offset + sizeof(T) > bytes_.size()) return nullptr;
    return reinterpret_cast<const T*>(bytes_.data() + offset);
  }

  alignas(16) static constexpr unsigned char ZeroTail[64] = {};
  std::vector<unsigned char> bytes_;
  const IMAGE_NT_HEADERS* nt_ = nullptr;
};

struct Export {
  std::string name;
  uint32_t ordinal;
  uint32_t rva;
};

// The named exports, and in `functionCount` the entries of the address table that hold one.
std::vector<Export> ReadExports(const PeImage& pe, uint32_t& functionCount);

// The imported libraries' names, upper case, in the import table's order.
std::vector<std::string> ReadImportedDlls(const PeImage& pe);

struct Resource {
  uint32_t type;
  uint32_t id;
  uint32_t language;
  std::vector<unsigned char> data;
};
constexpr uint32_t NamedEntry = 0xFFFFFFFF;  // the plug-in names none of its resources

// Every function imported by name, as (library in upper case, function).
std::vector<std::pair<std::string, std::string>> ReadImportedFunctions(const PeImage& pe);

// Every resource: type, id, language and its bytes.
std::vector<Resource> ReadResources(const PeImage& pe);
const Resource* FindIn(const std::vector<Resource>& all, uint32_t type, uint32_t id);
// The 16 counted UTF-16 strings of one string-table block.
std::vector<std::wstring> StringBlock(const Resource& block);

// ---- Exploit mitigations

// What this MinGW-w64's winnt.h does not name yet.
constexpr uint32_t GuardCfInstrumented = 0x100;
constexpr uint32_t GuardCfFunctionTablePresent = 0x400;
constexpr uint32_t GuardCfFunctionTableStrideShift = 28;  // extra bytes behind each entry's RVA
constexpr uint32_t DebugTypeExDllCharacteristics = 20;
constexpr uint32_t DllCharacteristicsExCetCompat = 0x1;
// What Microsoft's linkers write as the stack cookie and the loader replaces with a random value.
#if defined(_WIN64)
constexpr ULONG_PTR DefaultSecurityCookie = 0x00002B992DDFA232;
#else
constexpr ULONG_PTR DefaultSecurityCookie = 0xBB40E64E;
#endif

// The load configuration up to its long-jump table, at this program's width: this MinGW-w64's
// IMAGE_LOAD_CONFIG_DIRECTORY stops before the guard fields.
struct LoadConfiguration {
  DWORD Size;
  DWORD TimeDateStamp;
  WORD MajorVersion;
  WORD MinorVersion;
  DWORD GlobalFlagsClear;
  DWORD GlobalFlagsSet;
  DWORD CriticalSectionDefaultTimeout;
  ULONG_PTR DeCommitFreeBlockThreshold;
  ULONG_PTR DeCommitTotalFreeThreshold;
  ULONG_PTR LockPrefixTable;
  ULONG_PTR MaximumAllocationSize;
  ULONG_PTR VirtualMemoryThreshold;
#if defined(_WIN64)
  ULONG_PTR ProcessAffinityMask;
  DWORD ProcessHeapFlags;
#else
  DWORD ProcessHeapFlags;
  ULONG_PTR ProcessAffinityMask;
#endif
  WORD CSDVersion;
  WORD DependentLoadFlags;
  ULONG_PTR EditList;
  ULONG_PTR SecurityCookie;
  ULONG_PTR SEHandlerTable;
  ULONG_PTR SEHandlerCount;
  ULONG_PTR GuardCFCheckFunctionPointer;
  ULONG_PTR GuardCFDispatchFunctionPointer;
  ULONG_PTR GuardCFFunctionTable;
  ULONG_PTR GuardCFFunctionCount;
  DWORD GuardFlags;
  WORD CodeIntegrityFlags;
  WORD CodeIntegrityCatalog;
  DWORD CodeIntegrityCatalogOffset;
  DWORD CodeIntegrityReserved;
  ULONG_PTR GuardAddressTakenIatEntryTable;
  ULONG_PTR GuardAddressTakenIatEntryCount;
  ULONG_PTR GuardLongJumpTargetTable;
  ULONG_PTR GuardLongJumpTargetCount;
};
// Windows' layout: the guard fields start right after the SEH table's.
static_assert(offsetof(LoadConfiguration, GuardCFCheckFunctionPointer) ==
              (sizeof(void*) == 8 ? 0x70 : 0x48));
static_assert(sizeof(LoadConfiguration) == (sizeof(void*) == 8 ? 0xC0 : 0x78));

struct LoadConfig {
  bool present = false;        // a load-configuration directory whose Size field the file holds
  LoadConfiguration fields{};  // zero past `fields.Size`

  // Whether the record reaches the end of the field at `offset` of `size` bytes.
  bool Reaches(size_t offset, size_t size) const { return present && fields.Size >= offset + size; }
};
LoadConfig ReadLoadConfig(const PeImage& pe);

// Control Flow Guard's table: every address the module lets an indirect call reach, as RVAs in
// the file's order.
std::vector<uint32_t> GuardFunctionRvas(const PeImage& pe);
bool IsGuardTarget(const PeImage& pe, uint32_t rva);

// The extended DLL characteristics of the debug directory's entry of type 20; 0 without one.
uint32_t ExtendedDllCharacteristics(const PeImage& pe);

// The TLS callbacks the loader calls at every thread's start and end, as RVAs.
std::vector<uint32_t> TlsCallbackRvas(const PeImage& pe);

// Every place a base relocation patches, as RVAs.
std::vector<uint32_t> BaseRelocationRvas(const PeImage& pe);

// The section that holds `rva`, or null.
const IMAGE_SECTION_HEADER* SectionOf(const std::vector<IMAGE_SECTION_HEADER>& sections,
                                      uint32_t rva);

// 32-bit code: every FS-segment memory operand at a fixed address (no base or index register),
// decoded at each FS prefix of the executable sections. FS:0 is the head of the thread's chain
// of exception handlers, which a function that registers one reads and writes.
struct SegmentOperand {
  uint32_t rva;           // of the prefix
  uint32_t displacement;  // the address within the segment
};
std::vector<SegmentOperand> FsOperands(const PeImage& pe);

// How many places in the executable sections read the data at `rva`, directly or through a
// pointer to it held elsewhere in the image. On x86 these are the base-relocated addresses in
// the code; on x86_64 the RIP-relative operands of 64-bit loads and comparisons (REX.W, the
// opcode, ModRM of mod 00 and r/m 101, a displacement from the instruction's end) that land on
// it.
int CodeReferencesTo(const PeImage& pe, uint32_t rva);

// ---- Unwind data (x64): the exception directory's function table

struct FunctionEntry {
  uint32_t begin;  // RVAs: the function's first byte, the byte after its last, its unwind data
  uint32_t end;
  uint32_t unwindData;
};
// The entries in the file's order; empty without an exception directory.
std::vector<FunctionEntry> FunctionTable(const PeImage& pe);
// What keeps the unwinder from using `entry`'s unwind data, or empty when nothing does: it must
// be version 1, its prologue inside the function, each code within the prologue and the count,
// and a chained entry's own data the same.
std::string UnwindDataFault(const PeImage& pe, const FunctionEntry& entry);
// Whether the code at `rva` sets up a frame before anything else: it pushes a register, moves
// the stack pointer, or probes the stack for a large frame. A function that does none of these
// calls nothing and is a leaf, which needs no entry.
bool BeginsFrame(const PeImage& pe, uint32_t rva);

// Each mitigation Windows offers a DLL, by name: whether the image has it and what was seen.
//   DYNAMIC_BASE, HIGH_ENTROPY_VA, NX_COMPAT, NO_SEH, GUARD_CF: the header's DllCharacteristics.
//   RELOCATIONS: base relocations present and not stripped, so that ASLR can move the image.
//   LOAD_CONFIG: a load configuration that reaches GuardFlags, its Size the directory's.
//   GUARD_CF_INSTRUMENTED: its GuardFlags say the code checks indirect calls.
//   GUARD_CF_CHECK_FUNCTION, GUARD_CF_DISPATCH_FUNCTION (x86_64): the pointers the checks call
//     through, in read-only data, starting at code of the image.
//   GUARD_CF_FUNCTION_TABLE: the call targets, present, ordered and all in code.
//   GUARD_CF_ENTRY_POINT, GUARD_CF_TLS_CALLBACKS: what the loader calls is among them.
//   SECURITY_COOKIE: the stack cookie named, in writable data, at the value the loader replaces.
//   STACK_PROTECTOR: the code reads that cookie.
//   CET_COMPAT: the debug directory's extended characteristics say shadow-stack compatible.
//   NO_WRITABLE_CODE, NO_SHARED_WRITABLE_DATA: section permissions.
//   UNWIND_DATA (x86_64): a function table, ordered, in code, every entry's unwind data
//     usable, and every guard target that sets up a frame starting an entry.
//   NO_SEH_HANDLERS (x86): no FS:0 access in the code, no handler routine imported, no
//     safe-handler table; and the scan saw FS operands at all.
struct Mitigation {
  std::string name;
  bool holds;
  std::string detail;
};
std::vector<Mitigation> ReportMitigations(const PeImage& pe);

}  // namespace testing_support
