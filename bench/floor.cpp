// The I/O floor of a conversion: reads the input whole with one read into a
// fresh block, fills a fresh block of the output's size once and writes it
// with one write to a fresh file renamed over the output. No conversion
// program moves less memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        printf("usage: bench_floor <input> <output> <output size>\n");
        return 1;
    }
    size_t out_size = strtoull(argv[3], nullptr, 10);
    FILE* in = fopen(argv[1], "rb");
    if (in == nullptr || fseek(in, 0, SEEK_END) != 0) return 1;
    long in_size = ftell(in);
    if (in_size < 0 || fseek(in, 0, SEEK_SET) != 0) return 1;
    char* input = static_cast<char*>(malloc(static_cast<size_t>(in_size) + 1));
    char* output = static_cast<char*>(malloc(out_size + 1));
    if (input == nullptr || output == nullptr) return 1;
    if (fread(input, 1, static_cast<size_t>(in_size), in) != static_cast<size_t>(in_size)) return 1;
    fclose(in);
    // One pass over the output that depends on the input, so that neither
    // block can be skipped.
    input[in_size] = 0;
    memset(output, input[in_size / 2], out_size);
    // A fresh file beside the output, renamed over it, as the programs
    // write theirs: on ext4 a rename over an existing file allocates the
    // new file's blocks at once.
    std::string fresh = std::string(argv[2]) + ".fresh";
    FILE* out = fopen(fresh.c_str(), "wb");
    if (out == nullptr) return 1;
    bool ok = fwrite(output, 1, out_size, out) == out_size;
    ok = fclose(out) == 0 && ok;
    ok = ok && rename(fresh.c_str(), argv[2]) == 0;
    free(input);
    free(output);
    return ok ? 0 : 1;
}
