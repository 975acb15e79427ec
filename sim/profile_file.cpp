// The profile store kept in a text file between runs: one value per line, tab-separated.
#include "sim/sim_editor.h"

#include <cstdio>
#include <string>

#include "sim/editor_internal.h"

namespace sim {

using namespace detail;

namespace {
std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
  return out;
}
}  // namespace

bool Editor::LoadProfileFile(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  char line[512];
  while (fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t a = text.find('\t');
    const size_t b = a == std::string::npos ? a : text.find('\t', a + 1);
    const size_t c = b == std::string::npos ? b : text.find('\t', b + 1);
    if (c == std::string::npos) continue;
    const uint32_t selector = static_cast<uint32_t>(strtoul(text.substr(0, a).c_str(), nullptr, 0));
    const uint32_t value = static_cast<uint32_t>(strtoul(text.substr(c + 1).c_str(), nullptr, 0));
    profile_[{selector, Wide(text.substr(a + 1, b - a - 1)), Wide(text.substr(b + 1, c - b - 1))}] =
        value;
  }
  fclose(file);
  return true;
}

bool Editor::SaveProfileFile(const std::wstring& path) const {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  for (const auto& [key, value] : profile_) {
    fprintf(file, "0x%08X\t%s\t%s\t%u\n", key.selector, Utf8(key.section).c_str(),
            Utf8(key.name).c_str(), value);
  }
  fclose(file);
  return true;
}
}  // namespace sim
