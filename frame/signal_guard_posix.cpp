// The signal guard on Linux: a signal that would end a run removes its
// temporary output first, and once the output is in place none ends it.
#include "signal_guard_posix.h"

#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <unistd.h>

#include "platform.h"

// The signals whose default action ends the process, but SIGKILL and SIGSTOP,
// which cannot be caught; the real-time ones are added by guarded_signals.
static const int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

void guarded_signals(sigset_t* set)
{
    sigemptyset(set);
    for (int sig : kEndingSignals)
        sigaddset(set, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        sigaddset(set, sig);
}

// The temporary file a signal must remove, in storage the handler can read.
static char g_temporary[kPathCapacity];
static volatile sig_atomic_t g_temporary_live = 0;
static bool g_guarded = false;
static bool g_hold_once_replaced = false;

// Only async-signal-safe calls: remove the file, then die of the same
// signal (it is delivered once the handler returns), so that the shell and
// make see the interruption. With no file live it does what the default
// action would.
static void remove_and_die(int sig)
{
    if (g_temporary_live != 0) unlink(g_temporary);
    g_temporary_live = 0;
    signal(sig, SIG_DFL);
    raise(sig);
}

// One call a signal installs the handler and reads what it replaces. A
// signal whose action is not the default, ignored by whoever started the
// program or handled by someone else (a sanitizer's crash report), gets
// that action back. The handlers stay once installed, acting as the default
// while no file is live, which spares a second round of calls.
void guard_temporary(const char* name)
{
    memcpy(g_temporary, name, strlen(name) + 1);
    g_temporary_live = 1;
    if (g_guarded) return;
    g_guarded = true;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = remove_and_die;
    sigemptyset(&action.sa_mask);
    sigset_t set;
    guarded_signals(&set);
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction previous;
        if (sigismember(&set, sig) != 1 || sigaction(sig, &action, &previous) != 0) continue;
        if (previous.sa_handler != SIG_DFL || (previous.sa_flags & SA_SIGINFO) != 0)
            sigaction(sig, &previous, nullptr);
    }
}

void drop_temporary() { g_temporary_live = 0; }

// Called right before the output is moved into place.
void hold_if_asked_once_replaced()
{
    if (!g_hold_once_replaced) return;
    sigset_t held;
    guarded_signals(&held);
    sigprocmask(SIG_BLOCK, &held, nullptr);
}

void survive_failed_writes()
{
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

// With equal soft and hard limits the kernel ends the run with SIGKILL, which
// no handler sees, where a soft limit below the hard one would first send
// SIGXCPU, which the guard handles. A second less is that chance.
void keep_cpu_limit_catchable()
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_CPU, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur != limit.rlim_max || limit.rlim_cur < 2)
        return;
    limit.rlim_cur -= 1;
    setrlimit(RLIMIT_CPU, &limit);
}

void hold_signals_once_replaced() { g_hold_once_replaced = true; }
