#include "settings/settings.h"

#include "host/host_messages.h"
#include "host/resource_text.h"
#include "res/resource_ids.h"

PluginSettings gSettings;
std::atomic<bool> gHostVersionAtLeast14600{false};

namespace {
constexpr uint32_t ValueBytes = 4;

// The profile lives on the frame: the last window of the GetParent chain from the view.
HWND FrameOf(HWND view) {
  HWND frame = view;
  while (HWND parent = GetParent(frame)) frame = parent;
  return frame;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): in the record's own field order.
ProfileValueRecord NewRecord(const wchar_t* section, const wchar_t* valueName, void* data) {
  ProfileValueRecord record{};
  record.recordSize = sizeof(ProfileValueRecord);
  record.keySelector = HostPluginProfileKey;
  record.section = section;
  record.valueName = valueName;
  record.valueType = HostProfileTypeDword;
  record.data = data;
  return record;
}

// Reads one value into `value`, preset by the caller; true only when the host answered
// 0 and returned exactly four bytes. On failure `value` keeps its preset.
bool ReadValue(HWND frame, const wchar_t* section, const wchar_t* valueName, uint32_t& value) {
  uint32_t data = value;
  uint32_t size = ValueBytes;
  ProfileValueRecord record = NewRecord(section, valueName, &data);
  record.readSize = &size;
  if (SendProfileRecord(frame, HostProfileRead, record) != 0 || size != ValueBytes) return false;
  value = data;
  return true;
}

void WriteValue(HWND frame, const wchar_t* section, const wchar_t* valueName, uint32_t value) {
  ProfileValueRecord record = NewRecord(section, valueName, &value);
  record.writeSize = ValueBytes;
  SendProfileRecord(frame, HostProfileWrite, record);
}

void LoadLineCount(HWND frame, const wchar_t* section, const wchar_t* valueName,
                   std::atomic<int32_t>& field) {
  uint32_t value = static_cast<uint32_t>(field.load());
  if (ReadValue(frame, section, valueName, value)) field = static_cast<int32_t>(value);
}
}  // namespace

void LoadSettings(HWND view) {
  const HWND frame = FrameOf(view);
  const ResourceString section = LoadResourceString(IDS_PROFILE_SECTION);

  LoadLineCount(frame, section.text, L"brinkwatcherUp", gSettings.brinkwatcherUp);
  LoadLineCount(frame, section.text, L"brinkwatcherDown", gSettings.brinkwatcherDown);

  uint32_t mouseCancel = gSettings.mouseCancel ? 1 : 0;
  if (ReadValue(frame, section.text, L"mouseCancel", mouseCancel))
    gSettings.mouseCancel = mouseCancel != 0;

  uint32_t delay = 0;
  if (ReadValue(frame, section.text, L"redrawDelay", delay) && delay != 0) {
    gSettings.redrawDelay = LimitRedrawDelay(delay);
    gSettings.redrawDelayCustom = true;
  } else {
    gSettings.redrawDelay = DefaultRedrawDelay();
    gSettings.redrawDelayCustom = false;
  }
}

void SaveSettings(HWND view) {
  const HWND frame = FrameOf(view);
  const ResourceString section = LoadResourceString(IDS_PROFILE_SECTION);

  WriteValue(frame, section.text, L"brinkwatcherUp",
             static_cast<uint32_t>(gSettings.brinkwatcherUp.load()));
  WriteValue(frame, section.text, L"brinkwatcherDown",
             static_cast<uint32_t>(gSettings.brinkwatcherDown.load()));
  WriteValue(frame, section.text, L"mouseCancel", gSettings.mouseCancel ? 1 : 0);
  if (gSettings.redrawDelayCustom)
    WriteValue(frame, section.text, L"redrawDelay", gSettings.redrawDelay);
}

uint32_t DefaultRedrawDelay() {
  UINT speed = 0;
  if (!SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0)) return 100;

  // Each step rounds to double; the build uses SSE2 so that no step keeps excess precision,
  // which would land just below 5 and 49 at the ends of the range.
  double x = static_cast<double>(speed) * 0.8870967741935484;  // 27.5 / 31: repeats per second
  x = x + 2.5;
  double y = 100.0 / x;
  y = y * 1.2;
  y = y + 1.0;
  const uint32_t tens = static_cast<uint32_t>(y);
  return LimitRedrawDelay(tens * 10);
}
