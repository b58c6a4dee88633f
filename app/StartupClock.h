// Milliseconds since the program entered its entry function, for the timing
// notes the program writes with OutputDebugString (visible in a debugger, or
// under Wine with WINEDEBUG=warn+seh).
#pragma once

void MarkProgramStart();
double MillisecondsSinceProgramStart();
// Writes "Movara: <what> at <ms> ms" to the debug output.
void NoteTiming(const wchar_t* what);
