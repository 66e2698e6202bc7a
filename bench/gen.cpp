// Writes the benchmark inputs into a directory: palette textures of random
// indices and light lists using every key, comments and quoted values, each
// with the output a correct conversion gives (NAME.expected), built from the
// generator's own knowledge of what it wrote. The same arguments always give
// the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "palette.h"

static uint64_t g_state;

// splitmix64: fixed seed, same sequence on every machine.
static uint64_t next_random()
{
    uint64_t z = (g_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

static unsigned below(unsigned n) { return static_cast<unsigned>(next_random() % n); }

static bool write_file(const std::string& path, const std::string& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = fclose(f) == 0 && ok;
    if (!ok) printf("bench_gen: couldn't write %s\n", path.c_str());
    return ok;
}

static void put_le32(std::string* s, size_t at, uint32_t v)
{
    for (size_t i = 0; i < 4; ++i)
        (*s)[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

static bool make_texture(const std::string& path, uint32_t side)
{
    size_t count = size_t{side} * side;
    std::string data(44 + count, '\0');
    for (size_t i = 0; i < 32; ++i)
        data[i] = "benchmark texture"[i % 17];
    put_le32(&data, 32, side);
    put_le32(&data, 36, side);
    put_le32(&data, 40, 44);
    for (size_t i = 0; i < count; i += 8) {
        uint64_t r = next_random();
        for (size_t k = 0; k < 8 && i + k < count; ++k)
            data[44 + i + k] = static_cast<char>((r >> (8 * k)) & 0xff);
    }
    // Bottom row first, blue-green-red, after an 18-byte header.
    std::string tga(18 + 3 * count, '\0');
    tga[2] = 2;
    tga[12] = static_cast<char>(side & 0xff);
    tga[13] = static_cast<char>((side >> 8) & 0xff);
    tga[14] = tga[12];
    tga[15] = tga[13];
    tga[16] = 24;
    size_t at = 18;
    for (size_t row = side; row-- > 0;) {
        for (size_t x = 0; x < side; ++x) {
            const unsigned char* e =
                kTexturePalette + 3 * static_cast<unsigned char>(data[44 + row * side + x]);
            tga[at++] = static_cast<char>(e[2]);
            tga[at++] = static_cast<char>(e[1]);
            tga[at++] = static_cast<char>(e[0]);
        }
    }
    return write_file(path, data) && write_file(path + ".expected", tga);
}

static std::string number()
{
    switch (below(4)) {
    case 0:
        return std::to_string(below(1000));
    case 1:
        return std::to_string(below(100)) + "." + std::to_string(below(100));
    case 2:
        return "-" + std::to_string(below(4096));
    default:
        return std::to_string(below(10)) + "." + std::to_string(below(1000000));
    }
}

// A light list and the light entity file it must give, written side by side.
struct LightText {
    std::string in;
    std::string out;
};

static std::string maybe_quoted(const std::string& v)
{
    return below(4) == 0 ? "\"" + v + "\"" : v;
}

// A key with three values; `kept` keys appear in the output.
static void add_three(LightText* t, const char* key, bool kept, const char* trailer)
{
    std::string a = number(), b = number(), c = number();
    t->in += std::string("\t") + key + " " + maybe_quoted(a) + " " + maybe_quoted(b) + " " +
             maybe_quoted(c) + trailer + "\n";
    if (kept) t->out += std::string("\"") + key + "\" \"" + a + " " + b + " " + c + "\"\n";
}

static void add_light(LightText* t, unsigned index)
{
    if (below(3) == 0) t->in += "// light " + std::to_string(index) + ", placed by hand\n";
    t->in += "{\n";
    t->out += "//Light " + std::to_string(index) + "\n{\n\"classname\" \"light\"\n";
    add_three(t, "origin", true, "");
    add_three(t, "radius", true, "");
    if (below(2) == 0) {
        std::string style = std::to_string(below(12));
        t->in += "\t\"style\" \"" + style + "\"\n";
        t->out += "\"style\" \"" + style + "\"\n";
    }
    add_three(t, "color", true, "  // tint");
    add_three(t, "center", false, "");
    t->in += "\tmaterial \"lights/" + std::string(below(2) ? "bulb" : "strip light") + "\"\n";
    if (below(4) == 0) {
        t->in += "\tnoShadows\n";
        t->out += "\"noshadow\" \"1\"\n\"noshadow2\" \"1\"\n";
    }
    if (below(8) == 0) t->in += "\tparallel\n";
    if (below(2) == 0) t->in += "\tmaterialParm3 " + number() + "\n";
    add_three(t, "angles", true, "");
    t->in += "}\n";
    t->out += "}\n";
}

static bool make_lights(const std::string& path, unsigned lights, size_t min_bytes)
{
    LightText t;
    t.in = "// generated light list\n\n";
    t.out = "{\n\"classname\" \"worldspawn\"\n\"ambient\" \"0.01 0.01 0.01\"\n}\n";
    for (unsigned i = 0; i < lights || t.in.size() < min_bytes; ++i)
        add_light(&t, i);
    return write_file(path, t.in) && write_file(path + ".expected", t.out);
}

// Writes the named inputs (all of them without names) into the directory.
int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: bench_gen <directory> [tex64|tex256|tex512|tex1024|tex4096|tex8192|lights10|"
               "lights10k|lights100m]...\n");
        return 1;
    }
    std::string dir = argv[1];
    std::vector<std::string> names(argv + 2, argv + argc);
    auto wanted = [&](const char* name) {
        if (names.empty()) return true;
        for (const std::string& n : names)
            if (n == name) return true;
        return false;
    };
    // Each input draws from its own sequence, so a subset gives the same bytes.
    bool ok = true;
    for (uint32_t side : {64u, 256u, 512u, 1024u, 4096u, 8192u}) {
        std::string name = "tex" + std::to_string(side);
        g_state = side;
        if (wanted(name.c_str())) ok = make_texture(dir + "/" + name + ".wal", side) && ok;
    }
    g_state = 10;
    if (wanted("lights10")) ok = make_lights(dir + "/lights10.txt", 10, 0) && ok;
    g_state = 10000;
    if (wanted("lights10k")) ok = make_lights(dir + "/lights10k.txt", 10000, 0) && ok;
    g_state = 100;
    if (wanted("lights100m"))
        ok = make_lights(dir + "/lights100m.txt", 0, size_t{100} * 1000 * 1000) && ok;
    return ok ? 0 : 1;
}
