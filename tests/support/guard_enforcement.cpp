#include "tests/support/guard_enforcement.h"

#include <algorithm>
#include <cstdio>

#include "tests/support/pe_image.h"

extern "C" void EnforcingGuardCheck();
#if defined(_WIN64)
extern "C" void EnforcingGuardDispatch();
#endif

namespace testing_support {

namespace {

HMODULE Enforced = nullptr;
std::vector<uint32_t> EnforcedTable;  // sorted
uint64_t Checks = 0;

size_t ImageSize(HMODULE module) {
  auto* base = reinterpret_cast<const BYTE*>(module);
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(
             base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew)
      ->OptionalHeader.SizeOfImage;
}

bool WritePointer(ULONG_PTR address, void* value) {
  auto* slot = reinterpret_cast<void**>(address);
  DWORD protect = 0;
  if (address == 0 || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protect)) return false;
  *slot = value;
  VirtualProtect(slot, sizeof *slot, protect, &protect);
  return true;
}

}  // namespace

const LoadConfiguration* LoadedLoadConfig(HMODULE module) {
  auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
  if (directory.VirtualAddress == 0) return nullptr;
  const auto* config = reinterpret_cast<const LoadConfiguration*>(base + directory.VirtualAddress);
  return config->Size >= offsetof(LoadConfiguration, GuardFlags) + sizeof(DWORD) ? config : nullptr;
}

std::vector<uint32_t> LoadedGuardTable(HMODULE module) {
  std::vector<uint32_t> rvas;
  const LoadConfiguration* config = LoadedLoadConfig(module);
  if (config == nullptr || config->GuardCFFunctionTable == 0) return rvas;
  const size_t stride = 4 + ((config->GuardFlags >> GuardCfFunctionTableStrideShift) & 0xF);
  const auto* entry = reinterpret_cast<const BYTE*>(config->GuardCFFunctionTable);
  for (ULONG_PTR i = 0; i < config->GuardCFFunctionCount; ++i, entry += stride) {
    rvas.push_back(*reinterpret_cast<const uint32_t*>(entry));
  }
  return rvas;
}

bool IsAllowedTarget(HMODULE module, const void* address) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* at = static_cast<const BYTE*>(address);
  if (at < base || at >= base + ImageSize(module)) return true;
  const auto rva = static_cast<uint32_t>(at - base);
  if (module == Enforced)
    return std::binary_search(EnforcedTable.begin(), EnforcedTable.end(), rva);
  const std::vector<uint32_t> table = LoadedGuardTable(module);
  return std::find(table.begin(), table.end(), rva) != table.end();
}

bool EnforceGuard(HMODULE module) {
  const LoadConfiguration* config = LoadedLoadConfig(module);
  if (config == nullptr) return false;
  Enforced = module;
  EnforcedTable = LoadedGuardTable(module);
  std::sort(EnforcedTable.begin(), EnforcedTable.end());
  bool set = WritePointer(config->GuardCFCheckFunctionPointer,
                          reinterpret_cast<void*>(&EnforcingGuardCheck));
#if defined(_WIN64)
  set = WritePointer(config->GuardCFDispatchFunctionPointer,
                     reinterpret_cast<void*>(&EnforcingGuardDispatch)) &&
        set;
#endif
  return set;
}

uint64_t GuardChecks() {
  return Checks;
}

}  // namespace testing_support

extern "C" void GuardCheckTarget(const void* target);

void testing_support::CheckCallTarget(const void* target) {
  GuardCheckTarget(target);
}

// Called by the enforcing checker with every target; a bad one ends the process at once, as
// Windows does.
extern "C" void GuardCheckTarget(const void* target) {
  using namespace testing_support;
  ++Checks;
  if (Enforced == nullptr || IsAllowedTarget(Enforced, target)) return;
  std::fprintf(stderr, "Control Flow Guard: an indirect call to %p, outside the module's table\n",
               target);
  std::fflush(stderr);
  ExitProcess(0xC0000409);  // STATUS_STACK_BUFFER_OVERRUN, Windows' fast-fail status
}
