#include "tests/support/pe_image.h"

#include <array>
#include <cctype>
#include <cstring>
#include <set>

#include "tests/support/text.h"

namespace testing_support {

std::vector<Export> ReadExports(const PeImage& pe, uint32_t& functionCount) {
  std::vector<Export> exports;
  functionCount = 0;
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
  const auto* table = dir.Size ? pe.At<IMAGE_EXPORT_DIRECTORY>(dir.VirtualAddress) : nullptr;
  if (table == nullptr) return exports;
  // Entries of the address table that hold a function: the linker may number from 0 and leave
  // that first entry empty.
  for (uint32_t i = 0; i < table->NumberOfFunctions; ++i) {
    const auto* address = pe.At<uint32_t>(table->AddressOfFunctions + 4 * i);
    if (address != nullptr && *address != 0) ++functionCount;
  }
  for (uint32_t i = 0; i < table->NumberOfNames; ++i) {
    const auto* nameRva = pe.At<uint32_t>(table->AddressOfNames + 4 * i);
    const auto* index = pe.At<uint16_t>(table->AddressOfNameOrdinals + 2 * i);
    if (nameRva == nullptr || index == nullptr) continue;
    const auto* address = pe.At<uint32_t>(table->AddressOfFunctions + 4u * *index);
    exports.push_back({pe.StringAt(*nameRva), table->Base + *index, address ? *address : 0});
  }
  return exports;
}

std::vector<std::string> ReadImportedDlls(const PeImage& pe) {
  std::vector<std::string> dlls;
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  for (uint32_t at = dir.VirtualAddress; dir.Size != 0; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto* d = pe.At<IMAGE_IMPORT_DESCRIPTOR>(at);
    if (d == nullptr || d->Name == 0) break;
    std::string name = pe.StringAt(d->Name);
    for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    dlls.push_back(name);
  }
  return dlls;
}

std::vector<std::pair<std::string, std::string>> ReadImportedFunctions(const PeImage& pe) {
  std::vector<std::pair<std::string, std::string>> functions;
  const std::vector<std::string> dlls = ReadImportedDlls(pe);
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  for (size_t i = 0; i < dlls.size(); ++i) {
    const auto* d = pe.At<IMAGE_IMPORT_DESCRIPTOR>(
        dir.VirtualAddress + static_cast<uint32_t>(i * sizeof(IMAGE_IMPORT_DESCRIPTOR)));
    if (d == nullptr) break;
    uint32_t at = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
    for (const IMAGE_THUNK_DATA* t = pe.At<IMAGE_THUNK_DATA>(at);
         t != nullptr && t->u1.AddressOfData != 0; t = pe.At<IMAGE_THUNK_DATA>(at)) {
      if (!IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal)) {
        // Hint, then the name.
        functions.emplace_back(dlls[i],
                               pe.StringAt(static_cast<uint32_t>(t->u1.AddressOfData) + 2));
      }
      at += sizeof(IMAGE_THUNK_DATA);
    }
  }
  return functions;
}

std::vector<Resource> ReadResources(const PeImage& pe) {
  std::vector<Resource> resources;
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
  if (dir.Size == 0) return resources;
  const uint32_t root = dir.VirtualAddress;
  // Type, id and language levels; the language level points at the data entries.
  auto entries = [&](uint32_t at) {
    std::vector<std::pair<uint32_t, uint32_t>> out;  // (id, offset with its high bit)
    const auto* d = pe.At<IMAGE_RESOURCE_DIRECTORY>(root + at);
    if (d == nullptr) return out;
    const int count = d->NumberOfNamedEntries + d->NumberOfIdEntries;
    for (int i = 0; i < count; ++i) {
      const auto* e =
          pe.At<IMAGE_RESOURCE_DIRECTORY_ENTRY>(root + at + sizeof(IMAGE_RESOURCE_DIRECTORY) +
                                                i * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY));
      if (e == nullptr) break;
      out.emplace_back(e->NameIsString ? NamedEntry : e->Id, e->OffsetToData);
    }
    return out;
  };
  constexpr uint32_t Subdirectory = 0x80000000;
  for (const auto& [type, typeAt] : entries(0)) {
    for (const auto& [id, idAt] : entries(typeAt & ~Subdirectory)) {
      for (const auto& [language, leafAt] : entries(idAt & ~Subdirectory)) {
        const auto* leaf = pe.At<IMAGE_RESOURCE_DATA_ENTRY>(root + (leafAt & ~Subdirectory));
        Resource r{type, id, language, {}};
        for (uint32_t i = 0; leaf != nullptr && i < leaf->Size; ++i) {
          const auto* byte = pe.At<unsigned char>(leaf->OffsetToData + i);
          if (byte == nullptr) break;
          r.data.push_back(*byte);
        }
        resources.push_back(std::move(r));
      }
    }
  }
  return resources;
}

const Resource* FindIn(const std::vector<Resource>& all, uint32_t type, uint32_t id) {
  for (const auto& r : all) {
    if (r.type == type && r.id == id) return &r;
  }
  return nullptr;
}

std::vector<std::wstring> StringBlock(const Resource& block) {
  std::vector<std::wstring> strings;
  size_t at = 0;
  const size_t units = block.data.size() / 2;
  auto unit = [&](size_t i) {
    return static_cast<wchar_t>(block.data[2 * i] | block.data[2 * i + 1] << 8);
  };
  while (strings.size() < 16 && at < units) {
    const size_t length = static_cast<size_t>(unit(at++));
    std::wstring text;
    for (size_t i = 0; i < length && at < units; ++i) text.push_back(unit(at++));
    strings.push_back(text);
  }
  return strings;
}

// ---- Exploit mitigations

LoadConfig ReadLoadConfig(const PeImage& pe) {
  LoadConfig config;
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG);
  const auto* size = dir.Size >= sizeof(DWORD) ? pe.At<DWORD>(dir.VirtualAddress) : nullptr;
  if (size == nullptr) return config;
  config.present = true;
  // Only what the record says it holds: the fields past its Size stay zero.
  const uint32_t known = std::min<uint32_t>(*size, sizeof(LoadConfiguration));
  auto* into = reinterpret_cast<unsigned char*>(&config.fields);
  for (uint32_t i = 0; i < known; ++i) {
    const auto* byte = pe.At<unsigned char>(dir.VirtualAddress + i);
    if (byte == nullptr) return LoadConfig{};
    into[i] = *byte;
  }
  return config;
}

std::vector<uint32_t> GuardFunctionRvas(const PeImage& pe) {
  std::vector<uint32_t> rvas;
  const LoadConfig config = ReadLoadConfig(pe);
  if (!config.Reaches(offsetof(LoadConfiguration, GuardFlags), sizeof(DWORD))) return rvas;
  const LoadConfiguration& c = config.fields;
  if (c.GuardCFFunctionTable == 0) return rvas;
  const auto table = static_cast<uint32_t>(c.GuardCFFunctionTable - pe.imageBase());
  const uint32_t stride = 4 + (c.GuardFlags >> GuardCfFunctionTableStrideShift);
  for (ULONG_PTR i = 0; i < c.GuardCFFunctionCount; ++i) {
    const auto* rva = pe.At<uint32_t>(table + static_cast<uint32_t>(i) * stride);
    if (rva == nullptr) break;
    rvas.push_back(*rva);
  }
  return rvas;
}

bool IsGuardTarget(const PeImage& pe, uint32_t rva) {
  const std::vector<uint32_t> rvas = GuardFunctionRvas(pe);
  return std::find(rvas.begin(), rvas.end(), rva) != rvas.end();
}

uint32_t ExtendedDllCharacteristics(const PeImage& pe) {
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_DEBUG);
  for (uint32_t at = 0; at + sizeof(IMAGE_DEBUG_DIRECTORY) <= dir.Size;
       at += sizeof(IMAGE_DEBUG_DIRECTORY)) {
    const auto* entry = pe.At<IMAGE_DEBUG_DIRECTORY>(dir.VirtualAddress + at);
    if (entry == nullptr) break;
    if (entry->Type != DebugTypeExDllCharacteristics || entry->SizeOfData < sizeof(uint32_t)) {
      continue;
    }
    const auto* flags = pe.At<uint32_t>(entry->AddressOfRawData);
    return flags != nullptr ? *flags : 0;
  }
  return 0;
}

std::vector<uint32_t> TlsCallbackRvas(const PeImage& pe) {
  std::vector<uint32_t> rvas;
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_TLS);
  const auto* tls = dir.Size != 0 ? pe.At<IMAGE_TLS_DIRECTORY>(dir.VirtualAddress) : nullptr;
  if (tls == nullptr || tls->AddressOfCallBacks == 0) return rvas;
  auto at = static_cast<uint32_t>(tls->AddressOfCallBacks - pe.imageBase());
  for (const auto* callback = pe.At<ULONG_PTR>(at); callback != nullptr && *callback != 0;
       callback = pe.At<ULONG_PTR>(at += sizeof(ULONG_PTR))) {
    rvas.push_back(static_cast<uint32_t>(*callback - pe.imageBase()));
  }
  return rvas;
}

std::vector<uint32_t> BaseRelocationRvas(const PeImage& pe) {
  std::vector<uint32_t> rvas;
  const auto dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC);
  for (uint32_t at = 0; at + sizeof(IMAGE_BASE_RELOCATION) <= dir.Size;) {
    const auto* block = pe.At<IMAGE_BASE_RELOCATION>(dir.VirtualAddress + at);
    if (block == nullptr || block->SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION)) break;
    for (uint32_t e = sizeof(IMAGE_BASE_RELOCATION); e + 2 <= block->SizeOfBlock; e += 2) {
      const auto* entry = pe.At<uint16_t>(dir.VirtualAddress + at + e);
      if (entry == nullptr) break;
      const int type = *entry >> 12;
      if (type == IMAGE_REL_BASED_HIGHLOW || type == IMAGE_REL_BASED_DIR64) {
        rvas.push_back(block->VirtualAddress + (*entry & 0xFFFu));
      }
    }
    at += block->SizeOfBlock;
  }
  return rvas;
}

const IMAGE_SECTION_HEADER* SectionOf(const std::vector<IMAGE_SECTION_HEADER>& sections,
                                      uint32_t rva) {
  for (const auto& s : sections) {
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.Misc.VirtualSize) return &s;
  }
  return nullptr;
}

namespace {

bool Executable(const IMAGE_SECTION_HEADER& s) {
  return (s.Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
}
bool Writable(const IMAGE_SECTION_HEADER& s) {
  return (s.Characteristics & IMAGE_SCN_MEM_WRITE) != 0;
}

uint32_t Le32(const std::vector<unsigned char>& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// The RVA a VA of the image stands for; ~0 for a VA outside it.
uint32_t RvaOf(const PeImage& pe, ULONG_PTR va) {
  return va >= pe.imageBase() && va - pe.imageBase() < 0x80000000u
             ? static_cast<uint32_t>(va - pe.imageBase())
             : ~0u;
}

}  // namespace

std::vector<SegmentOperand> FsOperands(const PeImage& pe) {
  std::vector<SegmentOperand> operands;
  const auto isPrefix = [](unsigned char b) {
    return b == 0x66 || b == 0xF0 || b == 0xF2 || b == 0xF3;
  };
  for (const auto& section : pe.Sections()) {
    if (!Executable(section)) continue;
    const std::vector<unsigned char> code = pe.SectionBytes(section);
    for (size_t i = 0; i < code.size(); ++i) {
      if (code[i] != 0x64) continue;  // FS
      size_t at = i + 1;
      while (at < code.size() && isPrefix(code[at])) ++at;
      if (at >= code.size()) break;
      size_t displacement = 0;
      if (code[at] >= 0xA0 && code[at] <= 0xA3) {
        displacement = at + 1;  // mov between the accumulator and a fixed address
      } else {
        const size_t modrm = at + (code[at] == 0x0F ? 2 : 1);
        if (modrm >= code.size()) continue;
        const unsigned mod = code[modrm] >> 6;
        const unsigned rm = code[modrm] & 7u;
        if (mod == 0 && rm == 5) {
          displacement = modrm + 1;  // [disp32]
        } else if (mod == 0 && rm == 4 && modrm + 1 < code.size() && (code[modrm + 1] & 7u) == 5 &&
                   (code[modrm + 1] >> 3 & 7u) == 4) {
          displacement = modrm + 2;  // SIB without base or index: [disp32]
        } else {
          continue;  // an address in registers: not a fixed one
        }
      }
      if (displacement + 4 > code.size()) continue;
      operands.push_back(
          {section.VirtualAddress + static_cast<uint32_t>(i), Le32(code, displacement)});
    }
  }
  return operands;
}

int CodeReferencesTo(const PeImage& pe, uint32_t rva) {
  const std::vector<IMAGE_SECTION_HEADER> sections = pe.Sections();
  const std::vector<uint32_t> relocated = BaseRelocationRvas(pe);
  // The data itself, and every relocated pointer to it outside the code.
  std::set<uint32_t> slots = {rva};
  for (uint32_t at : relocated) {
    const IMAGE_SECTION_HEADER* s = SectionOf(sections, at);
    const auto* pointer = pe.At<ULONG_PTR>(at);
    if (s != nullptr && !Executable(*s) && pointer != nullptr && RvaOf(pe, *pointer) == rva) {
      slots.insert(at);
    }
  }
  int references = 0;
#if defined(_WIN64)
  for (const auto& section : sections) {
    if (!Executable(section)) continue;
    // A 64-bit load or comparison with a RIP-relative operand: REX.W, the opcode, a ModRM byte
    // of mod 00 and r/m 101, then the displacement, which counts from the instruction's end.
    const std::vector<unsigned char> code = pe.SectionBytes(section);
    const auto reads = [](unsigned char opcode) {
      return opcode == 0x8B || opcode == 0x3B || opcode == 0x39 || opcode == 0x33 ||
             opcode == 0x31 || opcode == 0x2B || opcode == 0x29 || opcode == 0x85;
    };
    for (size_t i = 0; i + 7 <= code.size(); ++i) {
      if ((code[i] & 0xF8) != 0x48 || !reads(code[i + 1]) || (code[i + 2] & 0xC7) != 0x05) {
        continue;
      }
      const auto displacement = static_cast<int32_t>(Le32(code, i + 3));
      const int64_t target =
          int64_t{section.VirtualAddress} + static_cast<int64_t>(i) + 7 + displacement;
      references += target >= 0 && slots.count(static_cast<uint32_t>(target)) != 0;
    }
  }
#else
  for (uint32_t at : relocated) {
    const IMAGE_SECTION_HEADER* s = SectionOf(sections, at);
    const auto* address = pe.At<uint32_t>(at);
    references += s != nullptr && Executable(*s) && address != nullptr &&
                  slots.count(RvaOf(pe, *address)) != 0;
  }
#endif
  return references;
}

std::vector<FunctionEntry> FunctionTable(const PeImage& pe) {
  const IMAGE_DATA_DIRECTORY dir = pe.Directory(IMAGE_DIRECTORY_ENTRY_EXCEPTION);
  std::vector<FunctionEntry> entries;
  for (uint32_t at = 0; at + sizeof(FunctionEntry) <= dir.Size; at += sizeof(FunctionEntry)) {
    const auto* entry = pe.At<FunctionEntry>(dir.VirtualAddress + at);
    if (entry == nullptr) break;
    entries.push_back(*entry);
  }
  return entries;
}

std::string UnwindDataFault(const PeImage& pe, const FunctionEntry& entry) {
  constexpr unsigned ChainInfo = 4;  // UNW_FLAG_CHAININFO: another entry follows the codes
  FunctionEntry current = entry;
  for (int depth = 0; depth < 32; ++depth) {
    if (current.begin >= current.end) return "an empty function at " + Hex(current.begin);
    const auto* header = pe.At<uint32_t>(current.unwindData);
    if (header == nullptr) return "unwind data outside the image at " + Hex(current.unwindData);
    const unsigned version = *header & 7u;
    const unsigned flags = (*header >> 3) & 0x1Fu;
    const unsigned prologue = (*header >> 8) & 0xFFu;
    const unsigned count = (*header >> 16) & 0xFFu;
    if (version != 1) return "version " + std::to_string(version) + " at " + Hex(current.begin);
    if (current.begin + prologue > current.end) {
      return "a prologue of " + std::to_string(prologue) + " bytes past the end of " +
             Hex(current.begin);
    }
    // Each code: its offset in the prologue, its operation and how many slots it takes.
    for (unsigned i = 0; i < count;) {
      const auto* code = pe.At<uint16_t>(current.unwindData + 4 + 2 * i);
      if (code == nullptr) return "codes outside the image at " + Hex(current.begin);
      const unsigned offset = *code & 0xFFu;
      const unsigned operation = (*code >> 8) & 0xFu;
      const unsigned info = *code >> 12;
      static const unsigned slots[16] = {1, 2, 1, 1, 2, 3, 0, 0, 2, 3, 1, 0, 0, 0, 0, 0};
      const unsigned taken = operation == 1 ? (info == 0 ? 2 : 3) : slots[operation];
      if (taken == 0) return "operation " + std::to_string(operation) + " at " + Hex(current.begin);
      if (offset > prologue) return "a code past the prologue at " + Hex(current.begin);
      i += taken;
      if (i > count) return "a code past the count at " + Hex(current.begin);
    }
    if ((flags & ChainInfo) == 0) return "";
    const auto* chained = pe.At<FunctionEntry>(current.unwindData + 4 + 2 * ((count + 1) & ~1u));
    if (chained == nullptr) return "a chained entry outside the image at " + Hex(current.begin);
    current = *chained;
  }
  return "a chain of more than 32 entries at " + Hex(entry.begin);
}

bool BeginsFrame(const PeImage& pe, uint32_t rva) {
  const auto* code = pe.At<std::array<unsigned char, 7>>(rva);
  if (code == nullptr) return false;
  const auto& c = *code;
  const size_t rex = (c[0] & 0xF0u) == 0x40 ? 1 : 0;
  const bool push = c[rex] >= 0x50 && c[rex] <= 0x57;
  const bool subRsp = c[0] == 0x48 && (c[1] == 0x83 || c[1] == 0x81) && c[2] == 0xEC;
  const bool probe = c[0] == 0xB8 && c[5] == 0xE8;  // mov eax, size; call the stack probe
  return push || subRsp || probe;
}

namespace {

// What every check of the report reads: the image, its sections, and the report to add to.
struct Reading {
  const PeImage& pe;
  std::vector<IMAGE_SECTION_HEADER> sections;
  LoadConfig config;
  std::vector<uint32_t> targets;  // the guard table
  std::vector<Mitigation>& report;

  void Note(const char* name, bool holds, std::string detail) {
    report.push_back({name, holds, std::move(detail)});
  }
  const IMAGE_SECTION_HEADER* Home(uint32_t rva) const { return SectionOf(sections, rva); }
  bool GuardFields() const {
    return config.Reaches(offsetof(LoadConfiguration, GuardFlags), sizeof(DWORD));
  }
};

std::string SectionName(const IMAGE_SECTION_HEADER* s) {
  return s == nullptr ? std::string("none")
                      : std::string(reinterpret_cast<const char*>(s->Name),
                                    strnlen(reinterpret_cast<const char*>(s->Name), 8));
}

void HeaderFlags(Reading& r) {
  const WORD dll = r.pe.dllCharacteristics();
  const struct {
    const char* name;
    WORD bit;
  } flags[] = {
      {"DYNAMIC_BASE", IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE},
      {"HIGH_ENTROPY_VA", IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA},
      {"NX_COMPAT", IMAGE_DLLCHARACTERISTICS_NX_COMPAT},
      {"NO_SEH", IMAGE_DLLCHARACTERISTICS_NO_SEH},
      {"GUARD_CF", IMAGE_DLLCHARACTERISTICS_GUARD_CF},
  };
  for (const auto& flag : flags) {
    r.Note(flag.name, (dll & flag.bit) != 0, "DllCharacteristics " + Hex(dll));
  }
}

// ASLR moves the image only if the loader can fix it up.
void Relocations(Reading& r) {
  const std::vector<uint32_t> relocated = BaseRelocationRvas(r.pe);
  r.Note("RELOCATIONS",
         (r.pe.fileCharacteristics() & IMAGE_FILE_RELOCS_STRIPPED) == 0 && !relocated.empty(),
         std::to_string(relocated.size()) + " base relocations");
}

void LoadConfigRecord(Reading& r) {
  const LoadConfiguration& c = r.config.fields;
  const auto dir = r.pe.Directory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG);
  r.Note("LOAD_CONFIG",
         r.GuardFields() && dir.Size == c.Size && dir.VirtualAddress % sizeof(void*) == 0,
         "Size " + Hex(c.Size) + ", directory size " + Hex(dir.Size) + " at " +
             Hex(dir.VirtualAddress));
  r.Note("GUARD_CF_INSTRUMENTED", (c.GuardFlags & GuardCfInstrumented) != 0,
         "GuardFlags " + Hex(c.GuardFlags));
}

// A pointer the instrumented code calls through: read-only after the loader's write, and starting
// at code of the module's own.
void CallPointer(Reading& r, const char* name, ULONG_PTR va) {
  const uint32_t at = RvaOf(r.pe, va);
  const IMAGE_SECTION_HEADER* home = r.Home(at);
  const auto* value = home != nullptr ? r.pe.At<ULONG_PTR>(at) : nullptr;
  const IMAGE_SECTION_HEADER* target = value != nullptr ? r.Home(RvaOf(r.pe, *value)) : nullptr;
  r.Note(name,
         home != nullptr && !Writable(*home) && !Executable(*home) && target != nullptr &&
             Executable(*target),
         "at " + Hex(va) + " in " + SectionName(home) + ", to " +
             (value != nullptr ? Hex(*value) : std::string("nothing")) + " in " +
             SectionName(target));
}

void GuardPointers(Reading& r) {
  const LoadConfiguration& c = r.config.fields;
  CallPointer(r, "GUARD_CF_CHECK_FUNCTION", r.GuardFields() ? c.GuardCFCheckFunctionPointer : 0);
#if defined(_WIN64)
  CallPointer(r, "GUARD_CF_DISPATCH_FUNCTION",
              r.GuardFields() ? c.GuardCFDispatchFunctionPointer : 0);
#endif
}

void GuardTable(Reading& r) {
  const std::vector<uint32_t>& targets = r.targets;
  const bool ordered = std::is_sorted(targets.begin(), targets.end()) &&
                       std::adjacent_find(targets.begin(), targets.end()) == targets.end();
  const bool inCode = std::all_of(targets.begin(), targets.end(), [&](uint32_t rva) {
    const IMAGE_SECTION_HEADER* s = r.Home(rva);
    return s != nullptr && Executable(*s);
  });
  r.Note("GUARD_CF_FUNCTION_TABLE",
         (r.config.fields.GuardFlags & GuardCfFunctionTablePresent) != 0 && !targets.empty() &&
             ordered && inCode,
         std::to_string(targets.size()) + " entries" + (ordered ? "" : ", not in order") +
             (inCode ? "" : ", some outside the code"));
}

// What the loader calls is among the call targets.
void GuardedEntries(Reading& r) {
  const auto listed = [&](uint32_t rva) {
    return std::find(r.targets.begin(), r.targets.end(), rva) != r.targets.end();
  };
  r.Note("GUARD_CF_ENTRY_POINT", listed(r.pe.entryPoint()),
         "entry point " + Hex(r.pe.entryPoint()));
  std::string unlisted;
  const std::vector<uint32_t> callbacks = TlsCallbackRvas(r.pe);
  for (uint32_t rva : callbacks) {
    if (!listed(rva)) unlisted += " " + Hex(rva);
  }
  r.Note("GUARD_CF_TLS_CALLBACKS", unlisted.empty(),
         std::to_string(callbacks.size()) + " TLS callbacks" +
             (unlisted.empty() ? "" : ", not listed:" + unlisted));
}

// The stack protector's cookie: where the loader finds it, still at the value it replaces, and
// read by the code.
void Cookie(Reading& r) {
  const LoadConfiguration& c = r.config.fields;
  const bool field =
      r.config.Reaches(offsetof(LoadConfiguration, SecurityCookie), sizeof(ULONG_PTR));
  const uint32_t cookie = field ? RvaOf(r.pe, c.SecurityCookie) : ~0u;
  const IMAGE_SECTION_HEADER* home = r.Home(cookie);
  const auto* value = home != nullptr ? r.pe.At<ULONG_PTR>(cookie) : nullptr;
  r.Note("SECURITY_COOKIE",
         home != nullptr && Writable(*home) && !Executable(*home) && value != nullptr &&
             *value == DefaultSecurityCookie,
         "at " + Hex(field ? c.SecurityCookie : 0) + " in " + SectionName(home) + ", holding " +
             (value != nullptr ? Hex(*value) : std::string("nothing")));
  const int reads = home != nullptr ? CodeReferencesTo(r.pe, cookie) : 0;
  r.Note("STACK_PROTECTOR", reads > 0, std::to_string(reads) + " reads of the cookie");
}

void ShadowStack(Reading& r) {
  const uint32_t extended = ExtendedDllCharacteristics(r.pe);
  r.Note("CET_COMPAT", (extended & DllCharacteristicsExCetCompat) != 0,
         "extended DLL characteristics " + Hex(extended));
}

// No page that is both writable and executable, and none writable and shared between processes.
void SectionPermissions(Reading& r) {
  std::string writableCode;
  std::string sharedData;
  for (const auto& s : r.sections) {
    if (Writable(s) && Executable(s)) writableCode += " " + SectionName(&s);
    if (Writable(s) && (s.Characteristics & IMAGE_SCN_MEM_SHARED) != 0) {
      sharedData += " " + SectionName(&s);
    }
  }
  r.Note("NO_WRITABLE_CODE", writableCode.empty(),
         writableCode.empty() ? "no section both writable and executable" : writableCode);
  r.Note("NO_SHARED_WRITABLE_DATA", sharedData.empty(),
         sharedData.empty() ? "no shared writable section" : sharedData);
}

#if defined(_WIN64)
// x64's unwinder finds a frame's caller only through the function table.
void UnwindData(Reading& r) {
  const std::vector<FunctionEntry> functions = FunctionTable(r.pe);
  std::string faults;
  uint32_t previousEnd = 0;
  for (const auto& f : functions) {
    const IMAGE_SECTION_HEADER* s = r.Home(f.begin);
    std::string fault = UnwindDataFault(r.pe, f);
    if (f.begin < previousEnd) fault = "out of order at " + Hex(f.begin);
    if (s == nullptr || !Executable(*s)) fault = "outside the code at " + Hex(f.begin);
    if (!fault.empty()) faults += "; " + fault;
    previousEnd = f.end;
  }
  std::string noEntry;
  for (uint32_t rva : r.targets) {
    const bool starts = std::any_of(functions.begin(), functions.end(),
                                    [&](const FunctionEntry& f) { return f.begin == rva; });
    if (BeginsFrame(r.pe, rva) && !starts) noEntry += " " + Hex(rva);
  }
  const IMAGE_DATA_DIRECTORY exceptions = r.pe.Directory(IMAGE_DIRECTORY_ENTRY_EXCEPTION);
  r.Note("UNWIND_DATA", !functions.empty() && faults.empty() && noEntry.empty(),
         std::to_string(functions.size()) + " function-table entries in " +
             SectionName(r.Home(exceptions.VirtualAddress)) + faults +
             (noEntry.empty() ? "" : "; guard targets with a frame and no entry:" + noEntry));
}
#else
// 32-bit: nothing registers an exception handler, as NO_SEH promises. A handler is registered by
// linking a record into the chain at FS:0, or by a runtime routine that does it for the code
// (imported under these names); an image with a safe-handler table would list them.
void NoHandlers(Reading& r) {
  const std::vector<SegmentOperand> fs = FsOperands(r.pe);
  std::string chainAccesses;
  for (const auto& operand : fs) {
    if (operand.displacement == 0) chainAccesses += " " + Hex(operand.rva);
  }
  std::string handlerImports;
  for (const auto& [library, function] : ReadImportedFunctions(r.pe)) {
    if (function.rfind("_except_handler", 0) == 0 || function.rfind("__CxxFrameHandler", 0) == 0 ||
        function.rfind("_EH_prolog", 0) == 0 || function == "_SEH_prolog4") {
      handlerImports += " " + function;
    }
  }
  const LoadConfiguration& c = r.config.fields;
  const bool table = c.SEHandlerTable != 0 || c.SEHandlerCount != 0;
  // A scan that sees no FS operand at all proves nothing; the plug-in's thread-local state gives
  // it some (FS:0x2C, the thread's TLS array).
  r.Note("NO_SEH_HANDLERS",
         !fs.empty() && chainAccesses.empty() && handlerImports.empty() && !table,
         std::to_string(fs.size()) + " fixed FS operands" +
             (chainAccesses.empty() ? "" : "; FS:0 at" + chainAccesses) +
             (handlerImports.empty() ? "" : "; imports" + handlerImports) +
             (table ? "; a safe-handler table" : ""));
}
#endif

}  // namespace

std::vector<Mitigation> ReportMitigations(const PeImage& pe) {
  std::vector<Mitigation> report;
  Reading reading{pe, pe.Sections(), ReadLoadConfig(pe), GuardFunctionRvas(pe), report};
  void (*const checks[])(Reading&) = {
    HeaderFlags,
    Relocations,
    LoadConfigRecord,
    GuardPointers,
    GuardTable,
    GuardedEntries,
    Cookie,
    ShadowStack,
    SectionPermissions,
#if defined(_WIN64)
    UnwindData,
#else
    NoHandlers,
#endif
  };
  for (auto check : checks) check(reading);
  return report;
}

}  // namespace testing_support
