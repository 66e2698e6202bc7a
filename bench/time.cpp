// Runs one command and prints its wall time in nanoseconds, its peak
// resident memory in KiB and its user CPU time in nanoseconds. A small
// static program of its own, so that the peak memory of the child is not
// that of a large parent (a child's peak starts from its parent's resident
// size at the spawn).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

static long long now_ns()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: bench_time <program> [arguments...]\n");
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    long long start = now_ns();
    pid_t pid;
    if (posix_spawn(&pid, argv[1], &actions, nullptr, argv + 1, environ) != 0) {
        printf("bench_time: couldn't start %s\n", argv[1]);
        return 2;
    }
    int status = 0;
    rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return 2;
    long long elapsed = now_ns() - start;
    long long user = static_cast<long long>(usage.ru_utime.tv_sec) * 1000000000LL +
                     static_cast<long long>(usage.ru_utime.tv_usec) * 1000LL;
    printf("%lld %ld %lld\n", elapsed, usage.ru_maxrss, user);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
