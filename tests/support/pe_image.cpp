#include "tests/support/pe_image.h"

#include <cctype>

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

}  // namespace testing_support
