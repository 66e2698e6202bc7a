#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "block.h"
#include "loader.h"
#include "output.h"
#include "platform.h"
#include "support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include "tool.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

static bool never_called(const char*, const char*) { return false; }

static const ToolProfile kProfile = {
    "banner\n", "usage\n", "short\n", {'t', 'g', 'a'}, never_called};

// Runs the name rule on one argument; returns what it printed.
static std::string names_for(const std::string& arg, bool* proceed)
{
    const char* argv[] = {"prog", arg.c_str()};
    CaptureStdout();
    *proceed = make_file_names(2, argv, kProfile);
    return GetCapturedStdout();
}

TEST(name_rule, replaces_exactly_the_last_three_characters)
{
    struct Case {
        const char* arg;
        const char* output;
    } cases[] = {
        {"wall.wal", "wall.tga"},   {"abcd", "atga"},   {"readme", "reatga"},
        {"base1.TXT", "base1.tga"}, {"x.tga", "x.tga"}, {"dir.d/noext", "dir.d/notga"},
    };
    for (const Case& c : cases) {
        bool proceed = false;
        EXPECT_EQ(names_for(c.arg, &proceed), "");
        EXPECT_TRUE(proceed) << c.arg;
        EXPECT_STREQ(g_input_name, c.arg);
        EXPECT_STREQ(g_output_name, c.output);
    }
}

TEST(name_rule, long_names_are_cut_to_63_characters)
{
    bool proceed = false;
    std::string name63(63, 'n');
    names_for(name63, &proceed);
    EXPECT_TRUE(proceed);
    EXPECT_EQ(std::string(g_input_name), name63);
    EXPECT_EQ(std::string(g_output_name), std::string(60, 'n') + "tga");

    std::string name70 = std::string(62, 'a') + "bcdefghi";
    names_for(name70, &proceed);
    EXPECT_TRUE(proceed);
    EXPECT_EQ(std::string(g_input_name), name70.substr(0, 63));
    EXPECT_EQ(std::string(g_output_name), std::string(60, 'a') + "tga");
}

TEST(name_rule, wrong_argument_counts_and_short_names_stop)
{
    const char* none[] = {"prog"};
    CaptureStdout();
    EXPECT_FALSE(make_file_names(1, none, kProfile));
    EXPECT_EQ(GetCapturedStdout(), "banner\nusage\n");

    const char* two[] = {"prog", "a.wal", "b.wal"};
    CaptureStdout();
    EXPECT_FALSE(make_file_names(3, two, kProfile));
    EXPECT_EQ(GetCapturedStdout(), "banner\nusage\n");

    for (const char* arg : {"", "a", "a.b"}) {
        bool proceed = true;
        EXPECT_EQ(names_for(arg, &proceed), "short\nusage\n");
        EXPECT_FALSE(proceed);
    }
}

TEST(loader, large_files_arrive_whole_and_in_order)
{
    ScratchDir dir;
    // Crosses several read requests and the huge-page threshold.
    // An empty file makes an empty block, with no read at all.
    for (size_t size : {size_t{0}, size_t{65536}, size_t{65537}, size_t{200001}, size_t{3} << 20}) {
        Bytes data(size);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<unsigned char>(i * 7 + i / 251);
        write_file(dir / "big", data);
        FileBlock block;
        ASSERT_TRUE(load_whole_file((dir / "big").c_str(), &block));
        ASSERT_EQ(block.length, static_cast<int32_t>(size));
        EXPECT_TRUE(size == 0 || memcmp(block.data, data.data(), size) == 0);
        release_block(&block);
    }
}

// Every byte of a block can be written, the last one too, on either side of
// where blocks take huge pages and where they stop taking them.
TEST(block, every_byte_of_every_size)
{
    constexpr size_t kMiB = size_t{1} << 20;
    for (size_t size : {size_t{0}, kMiB - 1, kMiB, 2 * kMiB + 1, 64 * kMiB - 1, 64 * kMiB}) {
        unsigned char* data = alloc_block(size);
        ASSERT_NE(data, nullptr) << size;
        if (size > 0) data[0] = data[size - 1] = 1;
        free_block(data);
    }
}

// A text holds the file's bytes, a zero byte of its own among them left in
// place, and one zero byte after them, on either side of a read request's
// edge.
TEST(loader, texts_arrive_whole_with_a_zero_after_them)
{
    ScratchDir dir;
    for (size_t size : {size_t{0}, size_t{1}, size_t{63}, size_t{65535}, size_t{65536},
                        size_t{65537}, size_t{200001}}) {
        std::string file(size, 'x');
        for (size_t i = 0; i < size; ++i)
            file[i] = static_cast<char>('a' + i % 26);
        if (size > 0) file[size / 2] = '\0';
        write_file(dir / "t.txt", file);
        TextBlock text;
        ASSERT_TRUE(load_text((dir / "t.txt").c_str(), &text));
        EXPECT_EQ(text.length, static_cast<int32_t>(size));
        EXPECT_EQ(std::string(text.text, size + 1), file + std::string(1, '\0')) << size;
        release_text(&text);
    }
}

TEST(loader, missing_file_and_directory_fail_with_one_line)
{
    ScratchDir dir;
    FileBlock block;
    std::string missing = dir / "missing.wal";
    CaptureStdout();
    EXPECT_FALSE(load_whole_file(missing.c_str(), &block));
    EXPECT_EQ(GetCapturedStdout(), "Couldn't open " + missing + "\n");
    EXPECT_EQ(block.data, nullptr);

    std::string sub = dir / "sub.wal";
    fs::create_directory(sub);
    CaptureStdout();
    EXPECT_FALSE(load_whole_file(sub.c_str(), &block));
    EXPECT_EQ(GetCapturedStdout(), "Couldn't read " + sub + "\n");
#ifndef _WIN32
    // A name that leads to a FIFO nobody writes, as an input may have become
    // since it was looked at, is opened without waiting and seen for what it is.
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(10); // an open that waits for a writer ends the test here
    FILE* file = open_for_reading(fifo.c_str());
    alarm(0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(stream_kind(file), FileKind::Other);
    fclose(file);
#endif
}

#ifdef __linux__
// The kernel's count of read calls made by this process.
static long long read_calls()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "syscr:") return value;
    return -1;
}

// Each request asks for at most 65536 bytes and no read call delivers more
// than it was asked, so eight times 65536 bytes take at least eight calls.
TEST(loader, reads_in_requests_of_at_most_65536_bytes)
{
    if (read_calls() < 0) GTEST_SKIP() << "no /proc/self/io on this kernel";
    ScratchDir dir;
    Bytes data(8 * 65536, 'r');
    write_file(dir / "big", data);
    FileBlock block;
    long long own = read_calls(); // reading the count takes calls of its own
    long long before = read_calls();
    own = before - own;
    ASSERT_TRUE(load_whole_file((dir / "big").c_str(), &block));
    long long calls = read_calls() - before - own;
    release_block(&block);
    EXPECT_GE(calls, 8);
    EXPECT_LE(calls, 10);
}
#endif

#ifdef TOOLS_HAVE_FOPENCOOKIE
static ssize_t read_from_memory(void* cookie, char* buffer, size_t size)
{
    auto* left = static_cast<std::string*>(cookie);
    size_t n = size < left->size() ? size : left->size();
    memcpy(buffer, left->data(), n);
    left->erase(0, n);
    return static_cast<ssize_t>(n);
}

// A file that delivers less than its size said (it shrank while being read)
// fails the load instead of leaving stale bytes in the block.
TEST(loader, a_read_that_delivers_nothing_fails)
{
    std::string left(1000, 'x');
    cookie_io_functions_t functions = {read_from_memory, nullptr, nullptr, nullptr};
    FILE* file = fopencookie(&left, "rb", functions);
    ASSERT_NE(file, nullptr);
    Bytes got(300000);
    EXPECT_FALSE(read_all(file, got.data(), got.size()));
    fclose(file);
}
#endif

// A temporary is only ever a file the run made itself: a name that is taken,
// by a file or by a link that leads nowhere yet, is never written through.
TEST(output, temporaries_are_made_only_where_nothing_is)
{
    ScratchDir dir;
    std::string like = dir / "out.tga";
    write_file(dir / "taken", "mine");
    OutputPlace place;
    ASSERT_TRUE(find_output(like.c_str(), &place));
    TemporaryFault fault = TemporaryFault::None;
    EXPECT_EQ(create_temporary(&place, "taken", &fault), nullptr);
    EXPECT_EQ(fault, TemporaryFault::NameTaken);
    EXPECT_EQ(read_text(dir / "taken"), "mine");
#ifndef _WIN32
    fs::create_symlink("elsewhere", dir.path / "link");
    EXPECT_EQ(create_temporary(&place, "link", &fault), nullptr);
    EXPECT_EQ(fault, TemporaryFault::NameTaken);
    EXPECT_FALSE(fs::exists(dir.path / "elsewhere"));
#endif
    FILE* file = create_temporary(&place, "fresh", &fault);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fault, TemporaryFault::None);
    EXPECT_TRUE(close_stream(file));
    discard_replacement(&place);
    EXPECT_FALSE(fs::exists(dir.path / "fresh"));
}

TEST(output, close_reports_a_write_that_failed)
{
    ScratchDir dir;
    write_file(dir / "out", "x");
    // A stream that may not write: the write fails at once.
    FILE* file = fopen((dir / "out").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(fputs("refused", file), EOF);
    EXPECT_FALSE(close_stream(file));
#ifndef _WIN32
    // The write fails only when the buffer is flushed at the close. Windows'
    // C runtime ends the process on a descriptor closed under its stream.
    file = fopen((dir / "out").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs("some bytes that stay in the stream buffer", file);
    close(fileno(file));
    EXPECT_FALSE(close_stream(file));
#endif
}

TEST(output, same_file_is_found_by_identity)
{
    ScratchDir dir;
    write_file(dir / "in.wal", "x");
    EXPECT_FALSE(same_file((dir / "in.wal").c_str(), (dir / "in.tga").c_str()));
    fs::create_hard_link(dir / "in.wal", dir / "in.tga");
    EXPECT_TRUE(same_file((dir / "in.wal").c_str(), (dir / "in.tga").c_str()));

    // Whether names differing in case are one file is the file system's call.
    write_file(dir / "x.TGA", "x");
#ifdef _WIN32
    EXPECT_TRUE(same_file((dir / "x.TGA").c_str(), (dir / "x.tga").c_str()));
#else
    EXPECT_FALSE(same_file((dir / "x.TGA").c_str(), (dir / "x.tga").c_str()));
#endif
}

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

// The guard installs its handlers with the first named temporary: a second
// one made by the same process is removed by a signal all the same.
TEST(signal_guard, a_second_temporary_is_guarded_too)
{
    ScratchDir dir;
    std::string like = dir / "out.tga";
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        OutputPlace place;
        TemporaryFault fault;
        for (const char* name : {"first.tmp", "second.tmp"}) {
            FILE* file = find_output(like.c_str(), &place) ? create_temporary(&place, name, &fault)
                                                           : nullptr;
            if (file == nullptr) _exit(120);
            if (name[0] == 's') raise(SIGTERM);
            fclose(file);
            discard_replacement(&place);
        }
        _exit(121);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(names_in(dir.path), std::vector<std::string>{});
}
#endif

#ifdef __linux__
// An allocation the system refuses is a case of the loader's own: the
// sanitizer's allocator gives null then, as the C library's does.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

static auto open_descriptors()
{
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

// The address space this process has mapped, in bytes.
static rlim_t mapped_bytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    for (rlim_t kib = 0; status >> key;)
        if (key == "VmSize:" && status >> kib) return kib * 1024;
    return 0;
}

// 2^31 - 1 bytes is the largest input. One byte more is refused before
// anything is read, its stream closed. The largest is taken: a child of the
// test, whose address space has no room for it, says so in place of reading
// 2 GiB (or reads it where an emulator does not apply the limit). The files
// are sparse.
TEST(loader, inputs_of_up_to_2_gib_less_one_byte)
{
    ScratchDir dir;
    std::string big = dir / "big";
    write_file(big, "x");
    fs::resize_file(big, uint64_t{1} << 31);
    FileBlock block;
    auto before = open_descriptors();
    CaptureStdout();
    EXPECT_FALSE(load_whole_file(big.c_str(), &block));
    EXPECT_EQ(GetCapturedStdout(), "Couldn't read " + big + "\n");
    EXPECT_EQ(open_descriptors(), before);

    fs::resize_file(big, (uint64_t{1} << 31) - 1);
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        rlim_t room = mapped_bytes() + (rlim_t{1} << 30);
        struct rlimit limit = {room, room};
        CaptureStdout();
        bool loaded = setrlimit(RLIMIT_AS, &limit) == 0 && load_whole_file(big.c_str(), &block);
        bool no_room = GetCapturedStdout() == "Couldn't allocate memory for " + big + "\n";
        _exit(loaded || no_room ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(exited_0(status)) << "the size was refused: " << status;
}
#endif
