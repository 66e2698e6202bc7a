#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#define getpid _getpid
#else
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

ScratchDir::ScratchDir()
{
    static std::atomic<int> counter{0};
    path = fs::temp_directory_path() /
           ("tools-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

void write_file(const std::string& path, const Bytes& data)
{
    std::ofstream f(fs::u8path(path), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void write_file(const std::string& path, const std::string& text)
{
    write_file(path, Bytes(text.begin(), text.end()));
}

// One request for the whole file: some run to tens of megabytes.
Bytes read_file(const std::string& path)
{
    std::ifstream f(fs::u8path(path), std::ios::binary | std::ios::ate);
    if (!f) return {};
    Bytes bytes(static_cast<size_t>(f.tellg()));
    f.seekg(0);
    f.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::string read_text(const std::string& path)
{
    Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

static std::string quote(const std::string& s) { return "\"" + s + "\""; }

#ifdef _WIN32
// cmd.exe runs the command line. Its cd changes the drive only with /d, and
// a program given as /path/prog.exe (as CMake names it under Wine) would be
// looked for on the scratch directory's drive unless made absolute first.
static const char kChangeDir[] = "cd /d ";
static std::string program_path(const std::string& program)
{
    return fs::absolute(program).string();
}

// The command line is UTF-8 here: the wide one carries every name whatever
// the system's code page.
static int run_command(const std::string& command)
{
    int size = MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, wide.data(), size);
    return _wsystem(wide.c_str());
}

// The console streams are in text mode: each "\n" reaches the file as "\r\n".
static std::string console_text(std::string text)
{
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        lines += text[i];
    }
    return lines;
}
#else
static const char kChangeDir[] = "cd ";
static std::string program_path(const std::string& program) { return program; }
static int run_command(const std::string& command) { return std::system(command.c_str()); }
static std::string console_text(std::string text) { return text; }
#endif

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& dir)
{
    fs::path out = dir / ".run-out";
    fs::path err = dir / ".run-err";
    std::string command =
        kChangeDir + quote(dir.u8string()) + " && " + quote(program_path(program));
    for (const std::string& a : args)
        command += " " + quote(a);
    command += " > " + quote(out.u8string()) + " 2> " + quote(err.u8string());
    int raw = run_command(command);
#ifdef _WIN32
    int status = raw;
#else
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
#endif
    std::string raw_out = read_text(out.u8string());
    RunResult r{console_text(raw_out), console_text(read_text(err.u8string())), status, raw_out};
    fs::remove(out);
    fs::remove(err);
    EXPECT_EQ(r.status, 0) << program << " in " << dir;
    EXPECT_EQ(r.err, "") << program << " in " << dir;
    return r;
}

Listing listing(const fs::path& dir)
{
    Listing found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().u8string();
        if (entry.is_symlink())
            found[name] = "link to " + fs::read_symlink(entry.path()).u8string();
        else if (entry.is_directory())
            found[name] = "directory";
        else if (entry.is_regular_file())
            found[name] = read_text(entry.path().u8string());
        else
            found[name] = "special file";
    }
    return found;
}

std::vector<std::string> names_in(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> temporaries(const fs::path& dir)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) found.push_back(name);
    }
    return found;
}

#ifndef _WIN32
int start_program(const std::string& program, const std::string& arg, const ScratchDir& dir,
                  const std::function<void()>& prepare)
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

int finish_program(int pid)
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

bool exited_0(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

std::string printed_by(int pid, const ScratchDir& dir)
{
    int status = finish_program(pid);
    EXPECT_TRUE(exited_0(status)) << status;
    return read_text(dir / ".out");
}

std::string program_for_others(const std::string& program, const ScratchDir& dir, std::string* why)
{
    for (fs::path p = dir.path.parent_path(); !p.empty(); p = p.parent_path()) {
        struct stat st;
        if (stat(p.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) {
            *why = "other users cannot reach " + dir.path.string() + ": " + p.string() +
                   " is closed to them (set TMPDIR to a folder they can enter)";
            return "";
        }
        if (p == p.root_path()) break;
    }
    fs::path bin = dir.path / ".bin";
    fs::create_directories(bin);
    fs::path copy = bin / fs::path(program).filename();
    fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
    fs::permissions(dir.path, fs::perms(0755), fs::perm_options::add);
    fs::permissions(bin, fs::perms(0755));
    fs::permissions(copy, fs::perms(0755));
    return copy.string();
}

void become_nobody()
{
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(121);
}
#endif

static std::string program(const char* variable, const char* built)
{
    const char* path = std::getenv(variable);
    return path != nullptr ? path : built;
}

std::string tavlick() { return program("TAVLICK", TAVLICK_PATH); }
std::string orrel() { return program("ORREL", ORREL_PATH); }

static void put_le32(Bytes& b, size_t at, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(u >> (8 * i));
}

Bytes texture_header(int32_t width, int32_t height, int32_t offset)
{
    Bytes b(44, 0x5a); // unread header bytes hold junk on purpose
    put_le32(b, 32, width);
    put_le32(b, 36, height);
    put_le32(b, 40, offset);
    return b;
}

Bytes make_texture(int32_t width, int32_t height, int32_t offset, const Bytes& pixels)
{
    Bytes b = texture_header(width, height, offset);
    if (offset > 44) b.resize(static_cast<size_t>(offset), 0x5a);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

const std::string kWorldHeaderText =
    "{\n\"classname\" \"worldspawn\"\n\"ambient\" \"0.01 0.01 0.01\"\n}\n";

std::string light_start(int number)
{
    return "//Light " + std::to_string(number) + "\n{\n\"classname\" \"light\"\n";
}

const Bytes& test_palette()
{
    static const Bytes palette = [] {
        Bytes entries;
        std::ifstream file(TOOLS_TEST_PALETTE);
        std::string line;
        while (std::getline(file, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::string entry;
            while (words >> entry)
                for (size_t i = 0; i + 2 <= entry.size(); i += 2)
                    entries.push_back(
                        static_cast<unsigned char>(std::stoul(entry.substr(i, 2), nullptr, 16)));
        }
        if (entries.size() != 768) abort();
        return entries;
    }();
    return palette;
}

Bytes expected_targa(int32_t width, int32_t height, const Bytes& pixels)
{
    const Bytes& palette = test_palette();
    Bytes t = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    t.push_back(static_cast<unsigned char>(width & 0xff));
    t.push_back(static_cast<unsigned char>((width >> 8) & 0xff));
    t.push_back(static_cast<unsigned char>(height & 0xff));
    t.push_back(static_cast<unsigned char>((height >> 8) & 0xff));
    t.push_back(24);
    t.push_back(0);
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            size_t i = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                              static_cast<size_t>(x)];
            t.push_back(palette[3 * i + 2]);
            t.push_back(palette[3 * i + 1]);
            t.push_back(palette[3 * i]);
        }
    }
    return t;
}
