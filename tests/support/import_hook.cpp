#include "tests/support/import_hook.h"

#include <cstring>

namespace testing_support {

namespace {

// The slot of `dll`!`name` in the module's import address table, or null. The names come from
// the lookup table: once the loader has bound the slots they hold only addresses.
ULONG_PTR* FindSlot(HMODULE module, const char* dll, const char* name) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    if (d->OriginalFirstThunk == 0 || _stricmp(reinterpret_cast<const char*>(base + d->Name), dll))
      continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0) {
        return &slots->u1.Function;
      }
    }
  }
  return nullptr;
}

bool WriteSlot(ULONG_PTR* slot, void* value) {
  DWORD protect = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protect)) return false;
  *slot = reinterpret_cast<ULONG_PTR>(value);
  VirtualProtect(slot, sizeof *slot, protect, &protect);
  FlushInstructionCache(GetCurrentProcess(), slot, sizeof *slot);
  return true;
}

}  // namespace

ImportHook HookImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  ImportHook hook;
  ULONG_PTR* slot = module != nullptr ? FindSlot(module, dll, name) : nullptr;
  if (slot == nullptr) return hook;
  void* original = reinterpret_cast<void*>(*slot);
  if (!WriteSlot(slot, replacement)) return hook;
  hook.slot = reinterpret_cast<void**>(slot);
  hook.original = original;
  hook.replacement = replacement;
  return hook;
}

void Unhook(ImportHook& hook) {
  if (!hook.hooked()) return;
  WriteSlot(reinterpret_cast<ULONG_PTR*>(hook.slot), hook.original);
  hook.slot = nullptr;
}

}  // namespace testing_support
