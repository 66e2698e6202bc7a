// The floor of a streaming design: input read and output written through one
// reused 64 KiB buffer, never holding the file. The output has the size given
// (a texture's Targa is three times its pixels), so each input buffer is
// written as many times as it takes to reach that size in proportion.
#include <cstdio>
#include <cstdlib>
#include <string>

static char g_buffer[64 * 1024];

int main(int argc, char** argv)
{
    if (argc != 4) {
        printf("usage: bench_stream <input> <output> <output size>\n");
        return 1;
    }
    unsigned long long out_size = strtoull(argv[3], nullptr, 10);
    FILE* in = fopen(argv[1], "rb");
    if (in == nullptr) return 1;
    // A fresh file beside the output, renamed over it, as the programs
    // write theirs: on ext4 a rename over an existing file allocates the
    // new file's blocks at once.
    std::string fresh = std::string(argv[2]) + ".fresh";
    FILE* out = fopen(fresh.c_str(), "wb");
    if (out == nullptr) return 1;
    setvbuf(in, nullptr, _IONBF, 0);
    setvbuf(out, nullptr, _IONBF, 0);
    // Output owed so far grows with the input read: read * out_size / in_size,
    // kept exact with integers.
    if (fseek(in, 0, SEEK_END) != 0) return 1;
    long in_size = ftell(in);
    if (in_size < 0 || fseek(in, 0, SEEK_SET) != 0) return 1;
    unsigned long long total_in = static_cast<unsigned long long>(in_size);
    unsigned long long read_so_far = 0;
    unsigned long long written = 0;
    bool ok = true;
    while (ok) {
        size_t got = fread(g_buffer, 1, sizeof g_buffer, in);
        read_so_far += got;
        unsigned long long owed =
            got == 0 || total_in == 0 ? out_size : read_so_far * out_size / total_in;
        while (ok && written < owed) {
            unsigned long long left = owed - written;
            size_t n = left < sizeof g_buffer ? static_cast<size_t>(left) : sizeof g_buffer;
            ok = fwrite(g_buffer, 1, n, out) == n;
            written += n;
        }
        if (got == 0) break;
    }
    fclose(in);
    ok = fclose(out) == 0 && ok;
    ok = ok && rename(fresh.c_str(), argv[2]) == 0;
    return ok ? 0 : 1;
}
