#pragma once
// The properties dialog opened and closed many times in one editor, with what stays behind
// sampled as it goes.

#include <cstdint>
#include <string>

namespace soak {

// The properties dialog, `rounds` times in one editor, or with `control` the same windows shown
// by a dialog procedure that is not the plug-in's. The counts are sampled before the first
// opening, after a warm-up of the first openings (which load the common controls, the dialog
// font and the message box) and every 1000 rounds; none may grow beyond its margin after the
// warm-up.
// The exit status: 0 when every round played and nothing grew (a control's growth is shown, not
// judged).
int RunDialogSoak(const std::wstring& dll, uint64_t rounds, const std::wstring& samplesPath,
                  bool control);

}  // namespace soak
