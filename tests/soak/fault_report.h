#pragma once
// The soak's last words when the plug-in faults: an undefined-behaviour trap of the checking
// build, the stack protector, or a stray access, named from the instruction at its address, with
// the step it happened at and the command line that plays the run again.

#include <cstdint>
#include <string>

namespace soak {

#if defined(_WIN64)
constexpr const char* Arch = "x86_64";
#else
constexpr const char* Arch = "i686";
#endif

// Reports any fault nothing else handles, and ends the process with status 3.
void ReportFaults(uint32_t seed);

// The step under way, for the report.
void NoteStep(uint64_t step);

// A path as the console shows it: ASCII as it is, anything else as '?'.
std::string ConsoleText(const std::wstring& text);

}  // namespace soak
