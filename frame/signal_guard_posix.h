// The signal guard of a temporary output file, as the POSIX sources of the
// frame share it (signal_guard_posix.cpp holds it).
#pragma once

#include <csignal>

// Every signal whose default action ends the process and that a handler may
// catch.
void guarded_signals(sigset_t* set);

// From now until drop_temporary, any of those signals removes the file
// `name` (at most kPathCapacity bytes with its zero) before the run ends by
// it. Call with the signals held back, so that none falls between the
// file's creation and its guard.
void guard_temporary(const char* name);

// Holds the guarded signals until the process exits, if the program asked
// for that with hold_signals_once_replaced; called right before the output
// is moved into place.
void hold_if_asked_once_replaced();
