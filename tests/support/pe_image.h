#pragma once
// A built DLL read as bytes, the way the loader would see it: its headers, exports, imported
// libraries and resources. Used by the tests that check the plug-in's file itself.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
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
    const auto* dos = Raw<IMAGE_DOS_HEADER>(0);
    if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    // Headers of this program's own width: a DLL of the other architecture is not valid here.
    nt_ = Raw<IMAGE_NT_HEADERS>(static_cast<uint32_t>(dos->e_lfanew));
    if (nt_ == nullptr || nt_->Signature != IMAGE_NT_SIGNATURE ||
        nt_->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
      nt_ = nullptr;
    }
  }

  bool valid() const { return nt_ != nullptr; }
  WORD machine() const { return nt_->FileHeader.Machine; }
  uint64_t imageBase() const { return nt_->OptionalHeader.ImageBase; }

  IMAGE_DATA_DIRECTORY Directory(int index) const {
    return nt_->OptionalHeader.DataDirectory[index];
  }

  // The structure at a relative virtual address, or null when no section holds all of it.
  template <class T>
  const T* At(uint32_t rva) const {
    const auto* sections = IMAGE_FIRST_SECTION(nt_);
    for (int i = 0; i < nt_->FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& s = sections[i];
      const uint32_t size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
      if (rva >= s.VirtualAddress && rva - s.VirtualAddress + sizeof(T) <= size) {
        return Raw<T>(s.PointerToRawData + (rva - s.VirtualAddress));
      }
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

// Every resource: type, id, language and its bytes.
std::vector<Resource> ReadResources(const PeImage& pe);
const Resource* FindIn(const std::vector<Resource>& all, uint32_t type, uint32_t id);
// The 16 counted UTF-16 strings of one string-table block.
std::vector<std::wstring> StringBlock(const Resource& block);

}  // namespace testing_support
