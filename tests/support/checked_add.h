#pragma once
// A plain signed add compiled with the checking build's flags: an overflow there traps exactly
// as it would in the checking build of the plug-in.

// Not inlined into its caller, whose own flags have no traps.
int CheckedAdd(int a, int b);
