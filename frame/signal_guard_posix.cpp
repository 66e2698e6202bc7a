// The signal guard: a signal that would end a run removes its named
// temporary output first, and once the output is in place none ends it.
#include "signal_guard_posix.h"

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "frame_config.h"
#include "platform.h"

// The signals whose default action ends the process, but SIGKILL and SIGSTOP,
// which cannot be caught; the real-time ones are added by guarded_signals.
// SIGIO ends a process on Linux, where it is POSIX's SIGPOLL, and is ignored
// by default on macOS and the BSDs, so it is here as SIGPOLL alone; a signal
// ignored by default must not be guarded, or its handler would remove the
// temporary of a run that goes on.
static const int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};

// Calls `act` for each signal the guard handles: the real-time ones too,
// which may lie above NSIG (FreeBSD's run from 65 to 126, its NSIG is 32).
template <typename Act> static void each_guarded_signal(Act act)
{
    for (int sig : kEndingSignals)
        act(sig);
#if TOOLS_HAVE_SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        act(sig);
#endif
}

void guarded_signals(sigset_t* set)
{
    sigemptyset(set);
    each_guarded_signal([set](int sig) { sigaddset(set, sig); });
}

// The temporary file a signal must remove, in storage the handler can read:
// its name in the folder held open, which stays right if the folder is
// renamed.
static char g_temporary[kNameLimit + 1];
static int g_folder = -1;
static volatile sig_atomic_t g_temporary_live = 0;
static bool g_guarded = false;
static bool g_hold_once_replaced = false;

// Only async-signal-safe calls: remove the file, then die of the same
// signal (it is delivered once the handler returns), so that the shell and
// make see the interruption. With no file live it does what the default
// action would.
static void remove_and_die(int sig)
{
    if (g_temporary_live != 0) unlinkat(g_folder, g_temporary, 0);
    g_temporary_live = 0;
    signal(sig, SIG_DFL);
    raise(sig);
}

// One call a signal installs the handler and reads what it replaces. A
// signal whose action is not the default, ignored by whoever started the
// program or handled by someone else (a sanitizer's crash report), gets
// that action back. The handlers stay once installed, acting as the default
// while no file is live, which spares a second round of calls.
void guard_temporary(int folder, const char* name)
{
    size_t length = strnlen(name, kNameLimit);
    memcpy(g_temporary, name, length);
    g_temporary[length] = '\0';
    g_folder = folder;
    g_temporary_live = 1;
    if (g_guarded) return;
    g_guarded = true;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = remove_and_die;
    sigemptyset(&action.sa_mask);
    each_guarded_signal([&action](int sig) {
        struct sigaction previous;
        if (sigaction(sig, &action, &previous) != 0) return;
        if (previous.sa_handler != SIG_DFL || (previous.sa_flags & SA_SIGINFO) != 0)
            sigaction(sig, &previous, nullptr);
    });
}

void drop_temporary() { g_temporary_live = 0; }

bool hold_once_replaced() { return g_hold_once_replaced; }

void survive_failed_writes()
{
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

void hold_signals_once_replaced() { g_hold_once_replaced = true; }
