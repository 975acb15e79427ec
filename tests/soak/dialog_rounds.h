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

// Plays `rounds` rounds, each opening the dialog over `view` with `open`, which returns 1 once it
// has run. After each round, `after(round)` runs (for samples); it returns false to stop.
DialogRoundsResult PlayDialogRounds(HWND view, const std::function<LRESULT()>& open,
                                    uint64_t rounds,
                                    const std::function<bool(uint64_t round)>& after);

// The control for the dialog: the plug-in's own dialog template from `module`, shown over `view`
// by a dialog procedure that is not the plug-in's. It fills the dialog with the same texts and
// lists, refuses a non-number with a message box, closes on OK and Cancel, and saves nothing.
// What grows with it is the window system's.
LRESULT OpenControlDialog(HMODULE module, HWND view);

}  // namespace soak
