#include "bench/module_report.h"

#include <cstdint>
#include <cstdio>

namespace bench {

namespace {

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

}  // namespace

void PrintModule(HMODULE module, const std::wstring& path) {
  auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const uint64_t size = FileSize(path);
  std::printf("The DLL: %llu bytes (%.1f KiB)\n  sections:", static_cast<unsigned long long>(size),
              static_cast<double>(size) / 1024.0);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    std::printf(" %.8s %lu", reinterpret_cast<const char*>(section->Name),
                static_cast<unsigned long>(section->Misc.VirtualSize));
  }
  std::printf("\n");
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    std::string names;
    int count = 0;
    if (d->OriginalFirstThunk != 0) {
      for (auto* n = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
           n->u1.AddressOfData != 0; ++n, ++count) {
        if (IMAGE_SNAP_BY_ORDINAL(n->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + n->u1.AddressOfData);
        names += std::string(" ") + reinterpret_cast<const char*>(byName->Name);
      }
    }
    // Wrapped, so that the list reads on a page.
    std::string line = "  imports " + std::string(reinterpret_cast<const char*>(base + d->Name)) +
                       " (" + std::to_string(count) + "):";
    size_t from = 0;
    while (from < names.size()) {
      const size_t next = names.find(' ', from + 1);
      const std::string word = names.substr(from, next == std::string::npos ? next : next - from);
      if (line.size() + word.size() > 98) {
        std::printf("%s\n", line.c_str());
        line = "     ";
      }
      line += word;
      from = next == std::string::npos ? names.size() : next;
    }
    std::printf("%s\n", line.c_str());
  }
}

}  // namespace bench
