// Whole runs that check how outputs are replaced: the output name holds the
// previous file or the complete new one, never a part, whatever ends the run,
// and no temporary file is left behind.
#include <gtest/gtest.h>

#include "support.h"

TEST(replacement, an_existing_output_is_replaced_with_nothing_left_beside_it)
{
    ScratchDir dir;
    Bytes pixels(4, 66);
    write_file(dir / "x.wal", make_texture(2, 2, 44, pixels));
    // Longer than the new output, so that a write in place would leave its tail.
    write_file(dir / "x.tga", std::string(1000, 'p'));
    EXPECT_EQ(run_program(tavlick(), {"x.wal"}, dir.path).out, "Converted: x.wal -> x.tga\n");
    EXPECT_EQ(read_file(dir / "x.tga"), expected_targa(2, 2, pixels));
    EXPECT_EQ(names_in(dir.path), (std::vector<std::string>{"x.tga", "x.wal"}));
#ifdef _WIN32
    // A read-only file is refused, not replaced (root may write one on Linux;
    // see permission_bits_and_read_only_outputs).
    write_file(dir / "x.tga", "previous");
    fs::permissions(dir.path / "x.tga", fs::perms::owner_read);
    EXPECT_EQ(run_program(tavlick(), {"x.wal"}, dir.path).out, "Couldn't create x.tga\n");
    EXPECT_EQ(read_text(dir / "x.tga"), "previous");
    fs::permissions(dir.path / "x.tga", fs::perms::owner_all);
#endif
}

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h> // makedev, where <sys/types.h> leaves it out
#endif

#include "frame_config.h"
#if TOOLS_HAVE_LINUX_MOUNT
#include <sched.h>
#include <sys/mount.h>
#endif
#if TOOLS_ATTRIBUTES_LINUX && TOOLS_FOLDER_LINUX && TOOLS_HAVE_LINUX_MOUNT &&                      \
    TOOLS_HAVE_CAPBSET_DROP
#include <linux/capability.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

// Runs `program` on `input` with files limited to 64 KiB: the output, some
// hundreds of KiB, cannot be written whole.
static std::string run_with_file_limit(const std::string& program, const std::string& input,
                                       const ScratchDir& dir)
{
    return printed_by(start_program(program, input, dir,
                                    [] {
                                        struct rlimit limit = {65536, 65536};
                                        setrlimit(RLIMIT_FSIZE, &limit);
                                    }),
                      dir);
}

// Orrel fails in the middle of its buffered writes (Tavlick's one write
// fails in a_link_keeps_pointing_at_the_new_file).
TEST(replacement, a_file_size_limit_leaves_the_previous_output)
{
    ScratchDir dir;
    std::string lights;
    for (int i = 0; i < 5000; ++i)
        lights += "{\norigin 1 2 3\ncolor 1 1 1\n}\n";
    write_file(dir / "big.txt", lights);
    write_file(dir / "big.lit", "previous");
    EXPECT_EQ(run_with_file_limit(orrel(), "big.txt", dir), "Couldn't write big.lit\n");
    EXPECT_EQ(read_text(dir / "big.lit"), "previous");
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

// Where runs make their replacement without a name, as on Linux.
constexpr bool kUnnamed = TOOLS_UNNAMED_LINUX != 0;

// What the run `pid` writes its replacement through: a named temporary in
// the output's folder under `dir`, or a file without a name, which /proc
// shows among the run's descriptors as "#N (deleted)". "" while it has none.
static std::string replacement_of(pid_t pid, const fs::path& dir, bool unnamed)
{
    if (!unnamed) {
        std::vector<std::string> found = temporaries(dir);
        return found.empty() ? "" : found[0];
    }
    const std::string tail = " (deleted)";
    std::error_code error;
    fs::directory_iterator end;
    auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
    for (; !error && it != end; it.increment(error)) {
        std::string to = fs::read_symlink(it->path(), error).string();
        bool inside = to.compare(0, dir.string().size() + 1, dir.string() + "/") == 0;
        bool ends =
            to.size() > tail.size() && to.compare(to.size() - tail.size(), tail.size(), tail) == 0;
        if (!error && inside && ends) return to;
    }
    return "";
}

// For a `prepare`: the run sees no descriptors in /proc, as in a sandbox or
// a chroot without /proc, so it cannot name a file made without a name and
// takes a named temporary instead. Its own mount namespace and /proc keep
// this from everyone else.
static void without_proc_fds()
{
#if TOOLS_HAVE_LINUX_MOUNT
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("proc", "/proc", "proc", 0, nullptr) != 0 ||
        mount("tools-test", "/proc/self/fd", "tmpfs", 0, "size=4k") != 0)
#endif
        _exit(123);
}

static void no_core()
{
    struct rlimit none = {0, 0}; // SIGQUIT and SIGXCPU would dump a core
    setrlimit(RLIMIT_CORE, &none);
}

// A long light list: its run writes for a while, long enough to be caught
// in the middle. Returns what its output must hold.
static std::string write_long_list(const ScratchDir& dir, const std::string& name)
{
    std::string lights;
    for (int i = 0; i < 20000; ++i)
        lights += "{ origin 1 2 3 color 1 1 1 radius 9 9 9 }\n";
    std::string input;
    for (int i = 0; i < 40; ++i)
        input += lights;
    write_file(dir / name, input);
    std::string expected = kWorldHeaderText;
    for (int i = 0; i < 800000; ++i)
        expected += light_start(i) + "\"origin\" \"1 2 3\"\n\"color\" \"1 1 1\"\n" +
                    "\"radius\" \"9 9 9\"\n}\n";
    return expected;
}

// Starts Orrel on `input` and waits until it writes its replacement, named
// or not as `unnamed` says; `act` then does what it will with the run. False
// when the run ended first.
static bool catch_mid_write(const ScratchDir& dir, const std::string& input, bool unnamed,
                            const std::function<void()>& prepare,
                            const std::function<void(pid_t, const std::string&)>& act, int* status)
{
    pid_t pid = start_program(orrel(), input, dir, prepare);
    bool ended = false;
    std::string written;
    while (!ended && (written = replacement_of(pid, dir.path, unnamed)).empty()) {
        ended = waitpid(pid, status, WNOHANG) != 0;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_FALSE(ended) << "the run ended before it wrote its replacement";
    if (ended) return false;
    act(pid, written);
    *status = finish_program(pid);
    return true;
}

// A signal comes while the replacement is being written: the run ends by
// it, as the shell and make expect of an interruption, and leaves nothing
// but the previous output. A file made without a name leaves nothing even
// after SIGKILL; the named temporary a system without /proc gets instead is
// removed by the run's handler. Every other run is a first one, with no
// previous output to keep.
TEST(replacement, an_interrupted_run_leaves_the_previous_output)
{
    ScratchDir dir;
    std::string expected = write_long_list(dir, "map.txt");
    // Where runs make files without a name, a named temporary is what a run
    // without /proc gets; hiding /proc from it needs root.
    bool can_name = !kUnnamed || geteuid() == 0;
    auto named_runs = kUnnamed ? without_proc_fds : [] {};
    int round = 0;
    for (bool unnamed : {true, false}) {
        if ((unnamed && !kUnnamed) || (!unnamed && !can_name)) continue;
        std::function<void()> prepare = [unnamed, named_runs] {
            no_core();
            if (!unnamed) named_runs();
        };
        // A file without a name needs no handler: one signal and SIGKILL
        // show it. A named one needs the guard for every signal that ends a run.
        std::vector<int> signals = {SIGTERM, SIGKILL};
        if (!unnamed) {
            signals = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU};
#ifdef SIGPOLL
            signals.push_back(SIGPOLL); // SIGIO on Linux; macOS and the BSDs ignore SIGIO
#endif
#if TOOLS_HAVE_SIGRTMIN
            signals.insert(signals.end(), {SIGRTMIN + 2, SIGRTMAX});
#endif
        }
        for (int sig : signals) {
            bool first = round++ % 2 == 1;
            if (first)
                fs::remove(dir.path / "map.lit");
            else
                write_file(dir / "map.lit", "previous");
            int status = 0;
            int refused = 0; // kill's errno
            auto interrupt = [sig, &refused](pid_t pid, const std::string&) {
                refused = kill(pid, sig) == 0 ? 0 : errno;
            };
            if (!catch_mid_write(dir, "map.txt", unnamed, prepare, interrupt, &status)) continue;
            // An emulator may have no host signal for a guest's real-time
            // one: qemu-user refuses SIGRTMAX, and the run goes on to the end.
            if (refused == EINVAL) {
                std::printf("skipped signal %d: kill() says %s here\n", sig,
                            std::strerror(refused));
                continue;
            }
            ASSERT_EQ(refused, 0) << sig << ": " << std::strerror(refused);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
            if (first)
                EXPECT_FALSE(fs::exists(dir.path / "map.lit")) << sig;
            else
                EXPECT_EQ(read_text(dir / "map.lit"), "previous") << sig;
            std::vector<std::string> left = {".out", "map.lit", "map.txt"};
            if (first) left.erase(left.begin() + 1);
            EXPECT_EQ(names_in(dir.path), left) << sig;
            EXPECT_EQ(read_text(dir / ".out"), "") << sig;
        }
    }

    // The named temporary of a target whose name leaves no room for the
    // usual one: the cut falls between two-byte characters, never inside one.
    std::string name;
    for (int i = 0; i < 124; ++i)
        name += "\xc3\xa9"; // 248 bytes
    name += ".lit";
    fs::remove(dir.path / "map.lit");
    fs::create_symlink(name, dir.path / "map.lit");
    write_file(dir / name, "previous");
    auto whole_characters = [](pid_t pid, const std::string& written) {
        // ".", the part kept, ".XXXXXX.tmp": whole characters.
        std::string temporary = fs::path(written).filename().string();
        EXPECT_LE(temporary.size(), 255u);
        EXPECT_EQ((temporary.size() - 12) % 2, 0u) << temporary;
        kill(pid, SIGTERM);
    };
    int status = 0;
    if (can_name && catch_mid_write(dir, "map.txt", false, named_runs, whole_characters, &status)) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        EXPECT_EQ(read_text(dir / name), "previous");
        EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
    }
    fs::remove(dir.path / "map.lit");
    fs::remove(dir.path / name);

    // A signal ignored by whoever started the run stays ignored.
    write_file(dir / "map.lit", "previous");
    auto ignore = [] { signal(SIGTERM, SIG_IGN); };
    auto terminate = [](pid_t pid, const std::string&) { kill(pid, SIGTERM); };
    if (catch_mid_write(dir, "map.txt", kUnnamed, ignore, terminate, &status)) {
        EXPECT_TRUE(exited_0(status)) << status;
        EXPECT_EQ(read_text(dir / ".out"), "Converted: map.txt -> map.lit\n");
        EXPECT_TRUE(read_text(dir / "map.lit") == expected);
    }
}

// The output's folder renamed while the run writes: every step works in the
// folder the run opened, so the run finishes there.
TEST(replacement, a_folder_renamed_during_the_run)
{
    ScratchDir dir;
    fs::create_directory(dir.path / "sub");
    std::string expected = write_long_list(dir, "sub/map.txt");
    write_file(dir / "sub/map.lit", "previous");
    auto move = [&dir](pid_t pid, const std::string&) {
        kill(pid, SIGSTOP);
        fs::rename(dir.path / "sub", dir.path / "moved");
        kill(pid, SIGCONT);
    };
    auto nothing = [] {};
    int status = 0;
    if (!catch_mid_write(dir, "sub/map.txt", kUnnamed, nothing, move, &status)) return;
    EXPECT_TRUE(exited_0(status)) << status;
    EXPECT_EQ(read_text(dir / ".out"), "Converted: sub/map.txt -> sub/map.lit\n");
    EXPECT_TRUE(read_text(dir / "moved/map.lit") == expected);
    EXPECT_EQ(names_in(dir.path / "moved"), (std::vector<std::string>{"map.lit", "map.txt"}));
}

TEST(replacement, concurrent_runs_into_one_output_leave_one_whole_result)
{
    ScratchDir dir;
    std::string origins;
    std::string colors;
    for (int i = 0; i < 30000; ++i) { // several buffers' worth each
        origins += "{ origin 1 2 3 }\n";
        colors += "{ color 4 5 6 }\n";
    }
    write_file(dir / "m.txt", origins);
    write_file(dir / "m.TXT", colors);
    ASSERT_TRUE(exited_0(finish_program(start_program(orrel(), "m.txt", dir))));
    std::string first = read_text(dir / "m.lit");
    ASSERT_TRUE(exited_0(finish_program(start_program(orrel(), "m.TXT", dir))));
    std::string second = read_text(dir / "m.lit");
    for (int round = 0; round < 4; ++round) {
        pid_t a = start_program(orrel(), "m.txt", dir);
        pid_t b = start_program(orrel(), "m.TXT", dir);
        EXPECT_TRUE(exited_0(finish_program(a)));
        EXPECT_TRUE(exited_0(finish_program(b)));
        std::string result = read_text(dir / "m.lit");
        EXPECT_TRUE(result == first || result == second) << "round " << round;
    }
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

TEST(replacement, standard_output_that_is_the_output_or_a_pipe_nobody_reads)
{
    ScratchDir dir;
    Bytes pixels(64 * 64, 200);
    write_file(dir / "wall.wal", make_texture(64, 64, 44, pixels));
    std::string output = dir / "wall.tga";
    int status = finish_program(start_program(tavlick(), "wall.wal", dir, [&output] {
        int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || dup2(fd, 1) < 0) _exit(120);
    }));
    EXPECT_TRUE(exited_0(status));
    EXPECT_EQ(read_file(output), expected_targa(64, 64, pixels));
    // A reader of standard output that has gone is no failure, for a run
    // that fails as for one that converts.
    fs::remove(output);
    int ends[2];
    for (const char* input : {"nope.wal", "wall.wal"}) {
        ASSERT_EQ(pipe(ends), 0);
        close(ends[0]);
        status =
            finish_program(start_program(tavlick(), input, dir, [&ends] { dup2(ends[1], 1); }));
        close(ends[1]);
        EXPECT_TRUE(exited_0(status)) << input << ": " << status;
    }
    EXPECT_EQ(read_file(output), expected_targa(64, 64, pixels));

#if TOOLS_HAVE_LINUX_MOUNT
    // The links the kernel makes up for descriptors, reached through a /proc
    // of the run's own mounted inside the folder, so that no output name
    // leads out of it.
    if (geteuid() != 0) GTEST_SKIP() << "mounting a /proc of the run's own needs root";
    std::string proc = dir / "proc";
    fs::create_directory(proc);
    auto own_proc = [&proc] {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("proc", proc.c_str(), "proc", 0, nullptr) != 0)
            _exit(123);
    };
    // An output linked to standard output, a pipe: the link the kernel makes
    // for the descriptor leads to the pipe, which gets the Targa file, then
    // the line that says so.
    fs::remove(output);
    fs::create_symlink("proc/self/fd/1", output);
    ASSERT_EQ(pipe(ends), 0);
    pid_t pid = start_program(tavlick(), "wall.wal", dir, [&ends, &own_proc] {
        own_proc();
        close(ends[0]);
        dup2(ends[1], 1);
    });
    close(ends[1]);
    Bytes got;
    unsigned char buffer[4096];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
        got.insert(got.end(), buffer, buffer + n);
    close(ends[0]);
    EXPECT_TRUE(exited_0(finish_program(pid)));
    Bytes want = expected_targa(64, 64, pixels);
    for (char c : std::string("Converted: wall.wal -> wall.tga\n"))
        want.push_back(static_cast<unsigned char>(c));
    EXPECT_EQ(got, want);
    EXPECT_TRUE(fs::is_symlink(output));

    // One that leads to a descriptor whose file is gone: the kernel shows
    // "NAME (deleted)", which is no name to make a file by.
    fs::remove(output);
    fs::create_symlink("proc/self/fd/3", output);
    std::string gone = dir / "gone.txt";
    pid = start_program(tavlick(), "wall.wal", dir, [&gone, &own_proc] {
        own_proc();
        int fd = open(gone.c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0 || dup2(fd, 3) != 3 || unlink(gone.c_str()) != 0) _exit(124);
    });
    EXPECT_EQ(printed_by(pid, dir), "Couldn't create wall.tga\n");
    EXPECT_EQ(names_in(dir.path),
              (std::vector<std::string>{".out", "proc", "wall.tga", "wall.wal"}));
#endif
}

TEST(replacement, a_fifo_or_a_device_is_written_in_place_and_never_waited_on)
{
    ScratchDir dir;
    Bytes pixels(256 * 256);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 13);
    write_file(dir / "f.wal", make_texture(256, 256, 44, pixels));
    std::string fifo = dir / "f.tga";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_EQ(printed_by(start_program(tavlick(), "f.wal", dir), dir), "Couldn't create f.tga\n");

    // With a reader, the 192 KiB outgrow the pipe's buffer: the writes must
    // wait for the reader, which starts late.
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    pid_t pid = start_program(tavlick(), "f.wal", dir);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(fcntl(reader, F_SETFL, 0), 0);
    Bytes got;
    unsigned char buffer[65536];
    for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;)
        got.insert(got.end(), buffer, buffer + n);
    close(reader);
    EXPECT_EQ(printed_by(pid, dir), "Converted: f.wal -> f.tga\n");
    EXPECT_EQ(got, expected_targa(256, 256, pixels));
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A device node of the test's own, as /dev/null is, is kept too.
    std::string node = dir / "n.tga";
    if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) return; // needs root
    write_file(dir / "n.wal", make_texture(2, 2, 44, Bytes(4, 1)));
    EXPECT_EQ(run_program(tavlick(), {"n.wal"}, dir.path).out, "Converted: n.wal -> n.tga\n");
    EXPECT_TRUE(fs::is_character_file(node));
    // One that refuses every write, as /dev/full does, reached through a
    // link: the run says so, and the link and the device stay what they are.
    ASSERT_EQ(mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    fs::create_symlink("full", dir.path / "u.tga");
    write_file(dir / "u.wal", make_texture(4, 4, 44, Bytes(16, 3)));
    EXPECT_EQ(run_program(tavlick(), {"u.wal"}, dir.path).out, "Couldn't write u.tga\n");
    EXPECT_TRUE(fs::is_symlink(dir.path / "u.tga"));
    EXPECT_TRUE(fs::is_character_file(dir.path / "full"));
}

// From the moment the output is in place the run finishes, whatever signal
// comes: here it is stuck writing its last line into a full pipe.
TEST(replacement, a_run_whose_output_is_in_place_finishes)
{
    ScratchDir dir;
    Bytes pixels(4, 8);
    write_file(dir / "h.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "h.tga", "previous");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
    char block[4096] = {};
    while (write(ends[1], block, sizeof block) > 0) {
    }
    ASSERT_EQ(fcntl(ends[1], F_SETFL, 0), 0);
    pid_t pid = start_program(tavlick(), "h.wal", dir, [&ends] {
        close(ends[0]);
        dup2(ends[1], 1);
    });
    close(ends[1]);
    for (int i = 0; i < 2000 && read_file(dir / "h.tga") != expected_targa(2, 2, pixels); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(read_file(dir / "h.tga"), expected_targa(2, 2, pixels));
    kill(pid, SIGTERM);
    kill(pid, SIGHUP);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string printed;
    for (ssize_t n; (n = read(ends[0], block, sizeof block)) > 0;)
        printed.append(block, static_cast<size_t>(n));
    close(ends[0]);
    EXPECT_TRUE(exited_0(finish_program(pid)));
    EXPECT_EQ(printed.substr(printed.find('C')), "Converted: h.wal -> h.tga\n");
}

// Two hops from a subdirectory, the second link relative to its own
// directory, to a target whose name leaves no room for the usual temporary
// name. Each wrong reading of the chain lands elsewhere inside the scratch
// directory.
TEST(replacement, a_link_keeps_pointing_at_the_new_file)
{
    ScratchDir dir;
    Bytes pixels(256 * 256, 250);
    fs::create_directories(dir.path / "w/x/y/z");
    write_file(dir / "w/x/l.wal", make_texture(256, 256, 44, pixels));
    std::string name = std::string(246, 'T') + ".tga"; // 250 bytes
    write_file(dir / ("w/x/y/z/" + name), "previous");
    fs::create_symlink("y/mid.tga", dir.path / "w/x/l.tga");
    fs::create_symlink("z/" + name, dir.path / "w/x/y/mid.tga");
    auto links_kept = [&dir, &name] {
        EXPECT_EQ(fs::read_symlink(dir.path / "w/x/l.tga"), "y/mid.tga");
        EXPECT_EQ(fs::read_symlink(dir.path / "w/x/y/mid.tga"), "z/" + name);
        EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
    };

    EXPECT_EQ(run_with_file_limit(tavlick(), "w/x/l.wal", dir), "Couldn't write w/x/l.tga\n");
    EXPECT_EQ(read_text(dir / ("w/x/y/z/" + name)), "previous");
    links_kept();

    EXPECT_EQ(run_program(tavlick(), {"w/x/l.wal"}, dir.path).out,
              "Converted: w/x/l.wal -> w/x/l.tga\n");
    EXPECT_EQ(read_file(dir / ("w/x/y/z/" + name)), expected_targa(256, 256, pixels));
    links_kept();

    // The kernel follows a chain of 40 links, and refuses 41.
    write_file(dir / "c.txt", "");
    for (int i = 0; i < 40; ++i)
        fs::create_symlink("c" + std::to_string(i + 1), dir.path / ("c" + std::to_string(i)));
    fs::create_symlink("c0", dir.path / "c.lit");
    EXPECT_EQ(run_program(orrel(), {"c.txt"}, dir.path).out, "Couldn't create c.lit\n");
    EXPECT_FALSE(fs::exists(dir.path / "c40"));
    fs::remove(dir.path / "c.lit");
    fs::create_symlink("c1", dir.path / "c.lit");
    EXPECT_EQ(run_program(orrel(), {"c.txt"}, dir.path).out, "Converted: c.txt -> c.lit\n");
    EXPECT_EQ(read_text(dir / "c40"), kWorldHeaderText);

    // A link to a file yet to be made makes it.
    write_file(dir / "n.txt", "{ }");
    fs::create_symlink("w/new.lit", dir.path / "n.lit");
    EXPECT_EQ(run_program(orrel(), {"n.txt"}, dir.path).out, "Converted: n.txt -> n.lit\n");
    EXPECT_TRUE(fs::is_symlink(dir.path / "n.lit"));
    EXPECT_TRUE(fs::is_regular_file(dir.path / "w/new.lit"));
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

// In a sticky world-writable directory, as /tmp is, another user's link is
// not followed, unless that user owns the directory: it could point the
// output at any file of the user running the program, or at a FIFO that user
// reads or a device the runner may write.
TEST(replacement, links_in_a_shared_sticky_directory_follow_the_kernels_rule)
{
    if (geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
    ScratchDir dir;
    for (const char* folder : {"shared", "closed", "own"})
        fs::create_directories(dir.path / folder);
    // Writable by others but not by its group: world-writable all the same.
    fs::permissions(dir.path / "shared", fs::perms(01757));
    // Sticky and writable by its group but not by the world: the rule is
    // the kernel's for world-writable folders alone.
    fs::permissions(dir.path / "closed", fs::perms(01775));
    write_file(dir / "own/notes.tga", "notes");
    // A FIFO with a reader waiting, and a device node of the test's own.
    std::string fifo = dir / "own/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    bool device = mknod((dir / "own/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const struct {
        const char* folder;
        const char* name;
        const char* to;
        unsigned owner;
        bool followed;
    } cases[] = {
        {"shared", "x", "../own/notes.tga", kNobody, false},
        {"shared", "d", "../own/new.tga", kNobody, false},
        {"shared", "f", "../own/fifo", kNobody, false},
        {"shared", "n", device ? "../own/null" : "../own/new.tga", kNobody, false},
        {"shared", "m", "../own/mine.tga", 0, true},
        {"shared", "c", "x.tga", 0, false}, // the user's own link to the planted x.tga
        {"closed", "t", "../own/theirs.tga", kNobody, true},
    };
    for (const auto& c : cases) {
        fs::path at = dir.path / c.folder;
        std::string name = c.name;
        fs::create_symlink(c.to, at / (name + ".tga"));
        ASSERT_EQ(lchown((at / (name + ".tga")).c_str(), c.owner, c.owner), 0) << strerror(errno);
        write_file((at / (name + ".wal")).string(), make_texture(2, 2, 44, Bytes(4, 5)));
        EXPECT_EQ(run_program(tavlick(), {name + ".wal"}, at).out,
                  c.followed ? "Converted: " + name + ".wal -> " + name + ".tga\n"
                             : "Couldn't create " + name + ".tga\n");
    }
    EXPECT_EQ(read_text(dir / "own/notes.tga"), "notes");
    EXPECT_FALSE(fs::exists(dir.path / "own/new.tga"));
    char byte;
    EXPECT_EQ(read(reader, &byte, 1), 0) << "the FIFO's reader got the output";
    close(reader);
    for (const char* made : {"own/mine.tga", "own/theirs.tga"})
        EXPECT_EQ(read_file(dir / made), expected_targa(2, 2, Bytes(4, 5))) << made;

    // Not only links: the output's own name, planted as a FIFO they read or
    // as a file they may go on writing (0666), is refused too, to root as to
    // anyone, before anything is made.
    fs::path shared = dir.path / "shared";
    std::string planted_fifo = shared / "q.tga";
    ASSERT_EQ(mkfifo(planted_fifo.c_str(), 0622), 0);
    reader = open(planted_fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    write_file(shared / "p.tga", "");
    for (const char* name : {"q.tga", "p.tga"}) {
        ASSERT_EQ(chown((shared / name).c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chmod((shared / name).c_str(), 0666), 0);
    }
    for (std::string name : {"q", "p"}) {
        write_file(shared / (name + ".wal"), make_texture(2, 2, 44, Bytes(4, 5)));
        EXPECT_EQ(run_program(tavlick(), {name + ".wal"}, shared).out,
                  "Couldn't create " + name + ".tga\n");
    }
    EXPECT_EQ(read(reader, &byte, 1), 0) << "the planted FIFO's reader got the output";
    close(reader);
    struct stat planted;
    ASSERT_EQ(stat((shared / "p.tga").c_str(), &planted), 0);
    EXPECT_EQ(planted.st_uid, kNobody);
    EXPECT_EQ(planted.st_size, 0);

    // The directory's owner's links are followed too.
    ASSERT_EQ(chown(shared.c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(run_program(tavlick(), {"x.wal"}, shared).out, "Converted: x.wal -> x.tga\n");
    EXPECT_EQ(read_file(dir / "own/notes.tga"), expected_targa(2, 2, Bytes(4, 5)));
    EXPECT_TRUE(fs::is_symlink(shared / "x.tga"));
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

TEST(replacement, permission_bits_and_read_only_outputs)
{
    ScratchDir dir;
    Bytes pixels(4, 7);
    write_file(dir / "x.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "x.tga", "previous");
    // Bits the umask would take from a new file.
    fs::permissions(dir.path / "x.tga", fs::perms(0666));
    EXPECT_EQ(printed_by(start_program(tavlick(), "x.wal", dir, [] { umask(022); }), dir),
              "Converted: x.wal -> x.tga\n");
    EXPECT_EQ(fs::status(dir.path / "x.tga").permissions(), fs::perms(0666));
    // A first output has the bits the umask leaves of 0666.
    write_file(dir / "f.wal", make_texture(2, 2, 44, pixels));
    printed_by(start_program(tavlick(), "f.wal", dir, [] { umask(002); }), dir);
    EXPECT_EQ(fs::status(dir.path / "f.tga").permissions(), fs::perms(0664));

    if (geteuid() != 0) GTEST_SKIP() << "the rest runs a child as another user, which needs root";
    std::string why;
    std::string program = program_for_others(tavlick(), dir, &why);
    if (program.empty()) GTEST_SKIP() << why;
    // Root may write any file: the child runs as nobody.
    fs::permissions(dir.path, fs::perms(0777));
    write_file(dir / "x.tga", "previous");
    fs::permissions(dir.path / "x.tga", fs::perms(0444));
    EXPECT_EQ(printed_by(start_program(program, "x.wal", dir, become_nobody), dir),
              "Couldn't create x.tga\n");
    EXPECT_EQ(read_text(dir / "x.tga"), "previous");

    // An output the user may write in a directory they may not: no new file
    // can be made beside it, and it is never written in place.
    fs::permissions(dir.path, fs::perms(0755));
    ASSERT_EQ(chown((dir / "x.tga").c_str(), kNobody, kNobody), 0);
    fs::permissions(dir.path / "x.tga", fs::perms(0644));
    fs::remove(dir.path / ".out");
    EXPECT_EQ(printed_by(start_program(program, "x.wal", dir, become_nobody), dir),
              "Couldn't create x.tga\n");
    EXPECT_EQ(read_text(dir / "x.tga"), "previous");
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});

    // A folder its user may write and search but not read serves.
    fs::create_directory(dir.path / "o");
    write_file(dir / "o/x.wal", make_texture(2, 2, 44, pixels));
    ASSERT_EQ(chown((dir / "o").c_str(), kNobody, kNobody), 0);
    fs::permissions(dir.path / "o", fs::perms(0333));
    EXPECT_EQ(printed_by(start_program(program, "o/x.wal", dir, become_nobody), dir),
              "Converted: o/x.wal -> o/x.tga\n");
    EXPECT_EQ(read_file(dir / "o/x.tga"), expected_targa(2, 2, pixels));
}

// The rest needs Linux's own: its attributes and ACLs, its file flags, mounts
// of the test's own and capabilities to drop.
#if TOOLS_ATTRIBUTES_LINUX && TOOLS_FOLDER_LINUX && TOOLS_HAVE_LINUX_MOUNT &&                      \
    TOOLS_HAVE_CAPBSET_DROP

// The request as the C library's ioctl takes it: an unsigned long in glibc,
// an int in musl.
template <typename Request> static Request request_type(int (*)(int, Request, ...));
using IoctlRequest = decltype(request_type(ioctl));

static int flags_ioctl(int fd, unsigned long request, int* flags)
{
    return ioctl(fd, static_cast<IoctlRequest>(request), flags);
}

// Turns a directory's append-only flag on or off; false where the file
// system has no such flag.
static bool set_append_only(const std::string& path, bool on)
{
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool set = flags_ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
    set = set && flags_ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return set;
}

// Detaches what the test mounted at scope end.
struct Unmount {
    fs::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
};

// What `getfacl` prints of a file, or "" when the tools are missing.
static std::string acl_of(const ScratchDir& dir, const std::string& name)
{
    std::string out = dir / ".acl";
    std::string command = "getfacl --omit-header --absolute-names '" + (dir / name) + "' > '" +
                          out + "' 2> /dev/null";
    return std::system(command.c_str()) == 0 ? read_text(out) : "";
}

// The replacement takes over the previous output's owner and group (root may
// give them), its bits and its ACL. A file with an ACL shows its mask in its
// group bits: here the mask is rw- while the owning group has r--.
TEST(replacement, an_existing_output_keeps_its_owner_group_mode_and_acl)
{
    ScratchDir dir;
    Bytes pixels(4, 9);
    write_file(dir / "x.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "x.tga", "previous");
    fs::permissions(dir.path / "x.tga", fs::perms(0640));
    std::string set =
        "setfacl -m u:" + std::to_string(kNobody) + ":rw '" + (dir / "x.tga") + "' 2> /dev/null";
    if (std::system(set.c_str()) != 0)
        GTEST_SKIP() << "setfacl (package acl) is missing, or this file system has no ACLs";
    std::string acl = acl_of(dir, "x.tga");
    ASSERT_NE(acl, "");
    // An attribute whose value is empty is an attribute all the same.
    bool empty_value = setxattr((dir / "x.tga").c_str(), "user.empty", "", 0, 0) == 0;
    EXPECT_EQ(run_program(tavlick(), {"x.wal"}, dir.path).out, "Converted: x.wal -> x.tga\n");
    EXPECT_EQ(read_file(dir / "x.tga"), expected_targa(2, 2, pixels));
    EXPECT_EQ(acl_of(dir, "x.tga"), acl);
    if (empty_value) {
        EXPECT_EQ(getxattr((dir / "x.tga").c_str(), "user.empty", nullptr, 0), 0);
    }

    // A folder's default ACL is for new files: the replacement of an output
    // without an ACL, closed to nobody, gets none and stays closed.
    fs::create_directory(dir.path / "d");
    write_file(dir / "d/x.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "d/x.tga", "previous");
    fs::permissions(dir.path / "d/x.tga", fs::perms(0640));
    std::string plain = acl_of(dir, "d/x.tga");
    std::string inherit =
        "setfacl -d -m u:" + std::to_string(kNobody) + ":rw '" + (dir / "d") + "'";
    ASSERT_EQ(std::system(inherit.c_str()), 0);
    EXPECT_EQ(run_program(tavlick(), {"d/x.wal"}, dir.path).out, "Converted: d/x.wal -> d/x.tga\n");
    EXPECT_EQ(acl_of(dir, "d/x.tga"), plain);
    EXPECT_EQ(fs::status(dir.path / "d/x.tga").permissions(), fs::perms(0640));

    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    // Set-ID and sticky bits are dropped; the owner, the group and the other bits stay,
    // also for root without the file-owner capability, as some containers
    // run it: the bits must be set before the file is handed over.
    const unsigned kOtherGroup = 4242; // neither root's group nor nobody's
    auto check_custody = [&dir, &pixels](const std::string& name, unsigned uid, unsigned gid,
                                         unsigned mode) {
        struct stat st;
        ASSERT_EQ(stat((dir / name).c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, uid) << name;
        EXPECT_EQ(st.st_gid, gid) << name;
        EXPECT_EQ(st.st_mode & 07777, mode) << name;
        EXPECT_EQ(read_file(dir / name), expected_targa(2, 2, pixels)) << name;
    };
    auto previous = [&dir, &pixels](const std::string& name, unsigned uid, unsigned gid,
                                    unsigned mode) {
        write_file(dir / (name + ".wal"), make_texture(2, 2, 44, pixels));
        write_file(dir / (name + ".tga"), "previous");
        ASSERT_EQ(chown((dir / (name + ".tga")).c_str(), uid, gid), 0);
        ASSERT_EQ(chmod((dir / (name + ".tga")).c_str(), mode), 0);
    };
    previous("y", kNobody, kOtherGroup, 05604);
    EXPECT_EQ(run_program(tavlick(), {"y.wal"}, dir.path).out, "Converted: y.wal -> y.tga\n");
    check_custody("y.tga", kNobody, kOtherGroup, 0604);
    previous("w", kNobody, kOtherGroup, 04604);
    auto no_fowner = [] {
        if (prctl(PR_CAPBSET_DROP, CAP_FOWNER, 0, 0, 0) != 0) _exit(122);
    };
    EXPECT_EQ(printed_by(start_program(tavlick(), "w.wal", dir, no_fowner), dir),
              "Converted: w.wal -> w.tga\n");
    check_custody("w.tga", kNobody, kOtherGroup, 0604);

    // A user who belongs to the output's group keeps that group.
    std::string why;
    std::string program = program_for_others(tavlick(), dir, &why);
    if (!program.empty()) {
        fs::permissions(dir.path, fs::perms(0777));
        previous("g", 0, kOtherGroup, 0664);
        auto member = [] {
            gid_t groups[] = {kOtherGroup};
            if (setgroups(1, groups) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(121);
        };
        EXPECT_EQ(printed_by(start_program(program, "g.wal", dir, member), dir),
                  "Converted: g.wal -> g.tga\n");
        check_custody("g.tga", kNobody, kOtherGroup, 0664);

        // An append-only folder its user may write but not read is known
        // for what it is all the same.
        fs::create_directories(dir.path / "b");
        write_file(dir / "b/x.wal", make_texture(2, 2, 44, pixels));
        write_file(dir / "b/x.tga", "previous");
        for (const char* name : {"b", "b/x.tga"})
            ASSERT_EQ(chown((dir / name).c_str(), kNobody, kNobody), 0);
        fs::permissions(dir.path / "b", fs::perms(0300));
        if (set_append_only(dir / "b", true)) {
            EXPECT_EQ(printed_by(start_program(program, "b/x.wal", dir, become_nobody), dir),
                      "Couldn't create b/x.tga\n");
            set_append_only(dir / "b", false);
            EXPECT_EQ(names_in(dir.path / "b"), (std::vector<std::string>{"x.tga", "x.wal"}));
        }
        fs::permissions(dir.path, fs::perms(0700));
    }

    // Nothing new may be made in an append-only directory: a fresh file there
    // could be neither moved over the output nor removed.
    fs::create_directories(dir.path / "a");
    write_file(dir / "a/x.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "a/x.tga", "previous");
    if (set_append_only(dir / "a", true)) {
        EXPECT_EQ(printed_by(start_program(tavlick(), "a/x.wal", dir), dir),
                  "Couldn't create a/x.tga\n");
        EXPECT_EQ(names_in(dir.path / "a"), (std::vector<std::string>{"x.tga", "x.wal"}));
        set_append_only(dir / "a", false);
    }

    // More attribute names than a list can hold (64 KiB), beside an ACL: a
    // copy that cannot be whole is no replacement.
    std::string image = dir / "xfs.img";
    fs::path xfs = dir.path / "xfs";
    fs::create_directories(xfs);
    std::string make = "truncate -s 320M '" + image + "' && mkfs.xfs -q '" + image + "'";
    if (std::system((make + " > /dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "mkfs.xfs (package xfsprogs) is missing or failed";
    if (std::system(
            ("mount -o loop '" + image + "' '" + xfs.string() + "' 2> /dev/null").c_str()) != 0)
        GTEST_SKIP() << "cannot mount an XFS image here (no loop devices?)";
    Unmount unmount{xfs};
    write_file(dir / "xfs/x.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "xfs/x.tga", "previous");
    std::string target = dir / "xfs/x.tga";
    ASSERT_EQ(
        std::system(("setfacl -m u:" + std::to_string(kNobody) + ":r '" + target + "'").c_str()),
        0);
    for (int i = 0; i < 300; ++i) {
        std::string name = "user." + std::string(240, 'a') + std::to_string(i);
        ASSERT_EQ(setxattr(target.c_str(), name.c_str(), "v", 1, 0), 0) << strerror(errno);
    }
    EXPECT_EQ(printed_by(start_program(tavlick(), "xfs/x.wal", dir), dir),
              "Couldn't write xfs/x.tga\n");
    EXPECT_EQ(read_text(target), "previous");
    EXPECT_EQ(temporaries(xfs), std::vector<std::string>{});
}

// A small file system of the test's own, filled to its last inode and block.
TEST(replacement, a_full_file_system_leaves_the_previous_output)
{
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    ScratchDir dir;
    fs::path full = dir.path / "m";
    fs::create_directories(full);
    if (mount("tools-test", full.c_str(), "tmpfs", 0, "size=256k,nr_inodes=16") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << strerror(errno);
    Unmount unmount{full};
    write_file(dir / "m/x.wal", make_texture(2, 2, 44, Bytes(4, 3)));
    write_file(dir / "m/x.tga", "previous");
    int fillers = 0;
    for (;; ++fillers) {
        int fd = open((full / ("i" + std::to_string(fillers))).c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0) break;
        close(fd);
    }
    ASSERT_GT(fillers, 0);
    // The last inode went to a filler; its blocks are filled through it.
    int fd = open((full / "i0").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    char block[4096] = {};
    while (write(fd, block, sizeof block) > 0) {
    }
    close(fd);

    EXPECT_EQ(printed_by(start_program(tavlick(), "m/x.wal", dir), dir),
              "Couldn't create m/x.tga\n");
    EXPECT_EQ(read_text(dir / "m/x.tga"), "previous");
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}
#endif
#endif
