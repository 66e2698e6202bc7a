// The signal guard of a temporary output file, as the POSIX sources of the
// frame share it (signal_guard_posix.cpp holds it).
#pragma once

#include <csignal>

// Every signal whose default action ends the process and that a handler may
// catch.
void guarded_signals(sigset_t* set);

// From now until drop_temporary, any of those signals removes the file
// `name` (at most kNameLimit bytes) from the folder `folder` before the run
// ends by it. Call with the signals held back, so that none falls between
// the file's creation and its guard.
void guard_temporary(int folder, const char* name);

// Ends that guard; call after the file has been moved or removed.
void drop_temporary();

// True when the program asked, with hold_signals_once_replaced, that the
// guarded signals stay held once its output is in place.
bool hold_once_replaced();
