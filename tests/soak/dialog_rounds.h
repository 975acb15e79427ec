#pragma once
// The properties dialog opened and closed many times in one editor, as over a long session: each
// round confirms new settings, cancels, or has a non-number refused and then cancels.

#include <windows.h>

#include <cstdint>
#include <functional>

namespace soak {

struct DialogRoundsResult {
  uint64_t rounds = 0;            // dialogs that opened and closed as the round planned
  uint64_t confirmed = 0;         // closed with OK
  uint64_t cancelled = 0;         // closed with Cancel
  uint64_t refused = 0;           // non-numbers refused with a message box
  const char* failure = nullptr;  // what went wrong in the round that stopped the run
};

// Plays `rounds` rounds at the plug-in's PlugInProc for `view`. After each round, `after(round)`
// runs (for samples); it returns false to stop.
DialogRoundsResult PlayDialogRounds(LRESULT(WINAPI* plugInProc)(HWND, UINT, WPARAM, LPARAM),
                                    HWND view, uint64_t rounds,
                                    const std::function<bool(uint64_t round)>& after);

}  // namespace soak
