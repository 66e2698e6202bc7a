// Whole runs that check how outputs are replaced: the output name holds the
// previous file or the complete new one, never a part, whatever ends the run,
// and no temporary file is left behind.
#include <gtest/gtest.h>

#include <iterator>

#include "support.h"

static std::string orrel() { return orrel_program(); }

TEST(replacement, utf16_light_lists_are_refused_before_any_output)
{
    ScratchDir dir;
    write_file(dir / "le.txt", std::string("\xff\xfe{\0 \0}\0", 8));
    write_file(dir / "be.txt", std::string("\xfe\xff\0{\0 \0}", 8));
    write_file(dir / "u8.txt", "\xef\xbb\xbf{ }");
    for (const char* name : {"le", "be"}) {
        std::string input = std::string(name) + ".txt";
        RunResult r = run_program(orrel(), {input}, dir.path);
        EXPECT_EQ(r.out, "Couldn't convert " + input + ": UTF-16 text; save it as plain text\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_FALSE(fs::exists(dir.path / (std::string(name) + ".lit")));
    }
    // A UTF-8 mark is three bytes from 0x80 up, which separate like blanks.
    EXPECT_EQ(run_program(orrel(), {"u8.txt"}, dir.path).out, "Converted: u8.txt -> u8.lit\n");
}

TEST(replacement, an_existing_output_is_replaced_with_nothing_left_beside_it)
{
    ScratchDir dir;
    Bytes pixels(4, 66);
    write_file(dir / "x.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "x.tga", "previous");
    EXPECT_EQ(run_program(tavlick_program(), {"x.wal"}, dir.path).out,
              "Converted: x.wal -> x.tga\n");
    EXPECT_EQ(read_file(dir / "x.tga"), expected_targa(2, 2, pixels));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
#ifdef _WIN32
    // A read-only file is refused, not replaced (root may write one on Linux;
    // see permission_bits_and_read_only_outputs).
    write_file(dir / "x.tga", "previous");
    fs::permissions(dir.path / "x.tga", fs::perms::owner_read);
    EXPECT_EQ(run_program(tavlick_program(), {"x.wal"}, dir.path).out, "Couldn't create x.tga\n");
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
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

static std::string tavlick() { return tavlick_program(); }

static std::vector<std::string> temporaries(const fs::path& dir)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) found.push_back(name);
    }
    return found;
}

// A run started by hand, for what run_program cannot set up: limits, signals,
// other users and odd standard outputs. `prepare` runs in the child before
// the program starts; standard output goes to `dir`/.out unless it changes
// it.
static pid_t start(
    const std::string& program, const std::string& arg, const ScratchDir& dir,
    const std::function<void()>& prepare = [] {})
{
    std::string out = dir / ".out";
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || dup2(fd, 1) < 0 || chdir(dir.path.c_str()) != 0) _exit(120);
        close(fd);
        prepare();
        execl(program.c_str(), program.c_str(), arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The raw wait status; a run that takes more than 20 s is killed.
static int finish(pid_t pid)
{
    int status = 0;
    for (int i = 0; i < 2000 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "the run hung";
    }
    return status;
}

static bool exited_0(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// Runs `program` on `input` with files limited to 64 KiB: the output, some
// hundreds of KiB, cannot be written whole.
static int run_with_file_limit(const std::string& program, const char* input, const ScratchDir& dir)
{
    return finish(start(program, input, dir, [] {
        struct rlimit limit = {65536, 65536};
        setrlimit(RLIMIT_FSIZE, &limit);
    }));
}

TEST(replacement, a_file_size_limit_leaves_the_previous_output)
{
    ScratchDir dir;
    write_file(dir / "big.wal", make_texture(256, 256, 44, Bytes(65536, 9)));
    write_file(dir / "big.tga", "previous");
    int status = run_with_file_limit(tavlick(), "big.wal", dir);
    EXPECT_TRUE(exited_0(status)) << status;
    EXPECT_EQ(read_text(dir / ".out"), "Couldn't write big.tga\n");
    EXPECT_EQ(read_text(dir / "big.tga"), "previous");
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});

    // Orrel fails in the middle of its buffered writes.
    std::string lights;
    for (int i = 0; i < 5000; ++i)
        lights += "{\norigin 1 2 3\ncolor 1 1 1\n}\n";
    write_file(dir / "big.txt", lights);
    write_file(dir / "big.lit", "previous");
    status = run_with_file_limit(orrel_program(), "big.txt", dir);
    EXPECT_TRUE(exited_0(status)) << status;
    EXPECT_EQ(read_text(dir / ".out"), "Couldn't write big.lit\n");
    EXPECT_EQ(read_text(dir / "big.lit"), "previous");
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

// The signal comes once the temporary file is there: the program removes it
// and ends by that signal, as the shell and make expect of an interruption.
TEST(replacement, an_interrupted_run_leaves_the_previous_output)
{
    std::string lights;
    for (int i = 0; i < 20000; ++i)
        lights += "{ origin 1 2 3 color 1 1 1 radius 9 9 9 }\n";
    std::string input;
    for (int i = 0; i < 40; ++i)
        input += lights;
    ScratchDir dir;
    write_file(dir / "map.txt", input);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        write_file(dir / "map.lit", "previous");
        pid_t pid = start(orrel(), "map.txt", dir, [] {
            struct rlimit none = {0, 0}; // SIGQUIT would dump a core
            setrlimit(RLIMIT_CORE, &none);
        });
        int status = 0;
        bool ended = false;
        while (!ended && temporaries(dir.path).empty()) {
            ended = waitpid(pid, &status, WNOHANG) != 0;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_FALSE(ended) << "the run ended before its temporary file appeared";
        kill(pid, sig);
        status = finish(pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
        EXPECT_EQ(read_text(dir / "map.lit"), "previous") << sig;
        EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{}) << sig;
        EXPECT_EQ(read_text(dir / ".out"), "") << sig;
    }
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
    ASSERT_TRUE(exited_0(finish(start(orrel(), "m.txt", dir))));
    std::string first = read_text(dir / "m.lit");
    ASSERT_TRUE(exited_0(finish(start(orrel(), "m.TXT", dir))));
    std::string second = read_text(dir / "m.lit");
    for (int round = 0; round < 4; ++round) {
        pid_t a = start(orrel(), "m.txt", dir);
        pid_t b = start(orrel(), "m.TXT", dir);
        EXPECT_TRUE(exited_0(finish(a)));
        EXPECT_TRUE(exited_0(finish(b)));
        std::string result = read_text(dir / "m.lit");
        EXPECT_TRUE(result == first || result == second) << "round " << round;
    }
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

TEST(replacement, standard_output_pointed_at_the_output)
{
    ScratchDir dir;
    Bytes pixels(64 * 64, 200);
    write_file(dir / "wall.wal", make_texture(64, 64, 44, pixels));
    std::string output = dir / "wall.tga";
    int status = finish(start(tavlick(), "wall.wal", dir, [&output] {
        int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0 || dup2(fd, 1) < 0) _exit(120);
    }));
    EXPECT_TRUE(exited_0(status));
    EXPECT_EQ(read_file(output), expected_targa(64, 64, pixels));
}

TEST(replacement, a_fifo_is_written_in_place_and_never_waited_on)
{
    ScratchDir dir;
    Bytes pixels(16, 3);
    write_file(dir / "f.wal", make_texture(4, 4, 44, pixels));
    std::string fifo = dir / "f.tga";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    EXPECT_TRUE(exited_0(finish(start(tavlick(), "f.wal", dir))));
    EXPECT_EQ(read_text(dir / ".out"), "Couldn't create f.tga\n");

    // With a reader the 66 bytes fit the pipe's buffer.
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(run_program(tavlick(), {"f.wal"}, dir.path).out, "Converted: f.wal -> f.tga\n");
    Bytes got(200);
    ssize_t n = read(reader, got.data(), got.size());
    close(reader);
    got.resize(n > 0 ? static_cast<size_t>(n) : 0);
    EXPECT_EQ(got, expected_targa(4, 4, pixels));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(replacement, a_device_node_is_written_in_place_and_kept)
{
    ScratchDir dir;
    write_file(dir / "n.wal", make_texture(2, 2, 44, Bytes(4, 1)));
    std::string node = dir / "n.tga";
    if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod needs root: " << strerror(errno);
    EXPECT_EQ(run_program(tavlick(), {"n.wal"}, dir.path).out, "Converted: n.wal -> n.tga\n");
    EXPECT_TRUE(fs::is_character_file(node));
}

TEST(replacement, a_reader_that_has_gone_is_no_failure)
{
    ScratchDir dir;
    write_file(dir / "p.wal", make_texture(2, 2, 44, Bytes(4, 1)));
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    int status = finish(start(tavlick(), "p.wal", dir, [&ends] { dup2(ends[1], 1); }));
    close(ends[1]);
    EXPECT_TRUE(exited_0(status)) << status;
    EXPECT_EQ(read_file(dir / "p.tga"), expected_targa(2, 2, Bytes(4, 1)));
}

TEST(replacement, a_link_keeps_pointing_at_the_new_file)
{
    ScratchDir dir;
    Bytes pixels(9, 250);
    write_file(dir / "l.wal", make_texture(3, 3, 44, pixels));
    fs::create_directory(dir.path / "sub");
    write_file(dir / "sub/target.tga", "previous");
    fs::create_symlink("sub/target.tga", dir.path / "l.tga");
    EXPECT_EQ(run_program(tavlick(), {"l.wal"}, dir.path).out, "Converted: l.wal -> l.tga\n");
    EXPECT_EQ(fs::read_symlink(dir.path / "l.tga"), "sub/target.tga");
    EXPECT_EQ(read_file(dir / "sub/target.tga"), expected_targa(3, 3, pixels));

    // A link to a file yet to be made makes it.
    write_file(dir / "n.txt", "{ }");
    fs::create_symlink("sub/new.lit", dir.path / "n.lit");
    EXPECT_EQ(run_program(orrel(), {"n.txt"}, dir.path).out, "Converted: n.txt -> n.lit\n");
    EXPECT_TRUE(fs::is_symlink(dir.path / "n.lit"));
    EXPECT_TRUE(fs::is_regular_file(dir.path / "sub/new.lit"));
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

TEST(replacement, permission_bits_and_read_only_outputs)
{
    ScratchDir dir;
    Bytes pixels(4, 7);
    write_file(dir / "x.wal", make_texture(2, 2, 44, pixels));
    write_file(dir / "x.tga", "previous");
    fs::permissions(dir.path / "x.tga", fs::perms(0640));
    EXPECT_EQ(run_program(tavlick(), {"x.wal"}, dir.path).out, "Converted: x.wal -> x.tga\n");
    EXPECT_EQ(fs::status(dir.path / "x.tga").permissions(), fs::perms(0640));

    if (geteuid() != 0) GTEST_SKIP() << "the rest runs a child as another user, which needs root";
    // Root may write any file: the child runs as nobody.
    auto as_nobody = [] {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(121);
    };
    fs::permissions(dir.path, fs::perms(0777));
    write_file(dir / "x.tga", "previous");
    fs::permissions(dir.path / "x.tga", fs::perms(0444));
    EXPECT_TRUE(exited_0(finish(start(tavlick(), "x.wal", dir, as_nobody))));
    EXPECT_EQ(read_text(dir / ".out"), "Couldn't create x.tga\n");
    EXPECT_EQ(read_text(dir / "x.tga"), "previous");

    // No new file can be made beside an output the user may write: in place.
    fs::permissions(dir.path, fs::perms(0755));
    ASSERT_EQ(chown((dir / "x.tga").c_str(), 65534, 65534), 0);
    fs::permissions(dir.path / "x.tga", fs::perms(0644));
    fs::remove(dir.path / ".out");
    EXPECT_TRUE(exited_0(finish(start(tavlick(), "x.wal", dir, as_nobody))));
    EXPECT_EQ(read_text(dir / ".out"), "Converted: x.wal -> x.tga\n");
    EXPECT_EQ(read_file(dir / "x.tga"), expected_targa(2, 2, pixels));
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}
#endif
