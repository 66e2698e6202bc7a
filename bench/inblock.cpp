// The floor of Orrel's design: the whole input read into one block with one
// read, then written out through one reused 64 KiB buffer, copied without
// translation. A translating program that keeps this design moves no less.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static char g_buffer[64 * 1024];

int main(int argc, char** argv)
{
    if (argc != 3) {
        printf("usage: bench_inblock <input> <output>\n");
        return 1;
    }
    FILE* in = fopen(argv[1], "rb");
    if (in == nullptr || fseek(in, 0, SEEK_END) != 0) return 1;
    long in_size = ftell(in);
    if (in_size < 0 || fseek(in, 0, SEEK_SET) != 0) return 1;
    size_t size = static_cast<size_t>(in_size);
    char* input = static_cast<char*>(malloc(size + 1));
    if (input == nullptr) return 1;
    if (fread(input, 1, size, in) != size) return 1;
    fclose(in);
    // A fresh file beside the output, renamed over it, as the programs
    // write theirs: on ext4 a rename over an existing file allocates the
    // new file's blocks at once.
    std::string fresh = std::string(argv[2]) + ".fresh";
    FILE* out = fopen(fresh.c_str(), "wb");
    if (out == nullptr) return 1;
    // Unbuffered: each full buffer is one write, as in the program.
    setvbuf(out, nullptr, _IONBF, 0);
    bool ok = true;
    for (size_t done = 0; ok && done < size;) {
        size_t n = size - done < sizeof g_buffer ? size - done : sizeof g_buffer;
        memcpy(g_buffer, input + done, n);
        ok = fwrite(g_buffer, 1, n, out) == n;
        done += n;
    }
    ok = fclose(out) == 0 && ok;
    ok = ok && rename(fresh.c_str(), argv[2]) == 0;
    free(input);
    return ok ? 0 : 1;
}
