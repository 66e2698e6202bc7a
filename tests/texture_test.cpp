#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "palette.h"
#include "support.h"
#include "targa.h"
#include "texture_reader.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

static Bytes build(int32_t width, int32_t height, const Bytes& pixels)
{
    int64_t size = targa_size(width, height);
    Bytes out(static_cast<size_t>(size), 0xee);
    build_targa(out.data(), pixels.data(), kTexturePalette, width, height);
    return out;
}

TEST(targa_writer, two_by_two_example_byte_for_byte)
{
    Bytes pixels = {16, 208, 224, 243};
    Bytes expected = {0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                      0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x18, 0x00, 0x07, 0xab,
                      0xff, 0xff, 0x00, 0x00, 0x23, 0x4b, 0x63, 0x00, 0xff, 0x00};
    EXPECT_EQ(build(2, 2, pixels), expected);
}

TEST(targa_writer, empty_images_are_the_header_alone)
{
    EXPECT_EQ(build(0, 7, {}), expected_targa(0, 7, {}));
    EXPECT_EQ(build(7, 0, {}).size(), 18u);
}

TEST(targa_writer, wide_images_keep_the_low_16_bits_of_the_width)
{
    int32_t width = 65536 + 3;
    Bytes pixels(static_cast<size_t>(width), 243);
    EXPECT_EQ(build(width, 1, pixels), expected_targa(width, 1, pixels)); // width bytes 3, 0
}

TEST(targa_writer, sizes_beyond_a_signed_32_bit_count_are_refused)
{
    EXPECT_EQ(targa_size(2, 3), 36);
    EXPECT_EQ(targa_size(-1, 3), -1);
    // 3 x 715827876 + 18 is the largest that fits.
    EXPECT_EQ(targa_size(715827876, 1), INT64_C(2147483646));
    EXPECT_EQ(targa_size(715827877, 1), -1);
    EXPECT_EQ(targa_size(65536, 65536), -1);

    ScratchDir dir;
    std::string out = dir / "huge.tga";
    unsigned char unused = 0;
    CaptureStdout();
    EXPECT_FALSE(write_targa(out.c_str(), &unused, kTexturePalette, 65536, 65536));
    EXPECT_EQ(GetCapturedStdout(),
              "Couldn't create " + out + ": 65536 x 65536 pixels is too large for a Targa file\n");
    EXPECT_FALSE(fs::exists(out));
}

// Every index expands through the palette. Every width, around the steps an
// unrolled or vector expansion would take, must come out exact, and nothing
// may be written past the file.
TEST(targa_writer, widths_around_the_expansion_steps)
{
    std::vector<int32_t> widths;
    for (int32_t w = 1; w <= 41; ++w)
        widths.push_back(w);
    for (int32_t w : {63, 64, 65, 255, 256, 257, 300, 1023, 1025})
        widths.push_back(w);
    for (int32_t width : widths) {
        for (int32_t height : {1, 3}) {
            Bytes pixels(static_cast<size_t>(width * height));
            for (size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = static_cast<unsigned char>(i * 151 + 7);
            size_t size = static_cast<size_t>(targa_size(width, height));
            Bytes out(size + 16, 0xee);
            build_targa(out.data(), pixels.data(), kTexturePalette, width, height);
            EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(size)),
                      expected_targa(width, height, pixels))
                << "width " << width;
            for (size_t i = size; i < out.size(); ++i)
                EXPECT_EQ(out[i], 0xee) << "store past the file, width " << width;
        }
    }
}

// Checks a header; returns the one line it printed (empty when accepted).
static std::string check(const Bytes& file, TextureHeader* header)
{
    CaptureStdout();
    bool ok = check_texture_header(file.data(), static_cast<int64_t>(file.size()), "t.wal", header);
    std::string printed = GetCapturedStdout();
    EXPECT_EQ(ok, printed.empty());
    return printed;
}

// A header naming `width` x `height` at `offset`, followed by `length`
// bytes of pixel data whatever the header says.
static Bytes texture_with(int32_t width, int32_t height, int32_t offset, size_t length)
{
    Bytes file = texture_header(width, height, offset);
    file.insert(file.end(), length, 7);
    return file;
}

// Each field is checked apart, in 64 bits: a product or a sum that wraps in
// 32 bits must not pass for a small one.
TEST(texture_header, faults_are_named_in_one_line)
{
    const int32_t kMax = INT32_MAX;
    const int32_t kMin = INT32_MIN;
    const std::string past = " runs past the end of the file\n";
    const std::string many = " pixels is too many\n";
    TextureHeader h;
    struct Case {
        Bytes file;
        std::string message; // after "Bad texture t.wal: "
    } cases[] = {
        {Bytes{}, "shorter than its 44-byte header\n"},
        {Bytes(43, 0x5a), "shorter than its 44-byte header\n"},
        {texture_with(-1, 4, 44, 16), "negative size -1 x 4\n"},
        {texture_with(4, -1, 44, 16), "negative size 4 x -1\n"},
        {texture_with(kMin, 4, 44, 16), "negative size -2147483648 x 4\n"},
        {texture_with(2, kMin, 44, 16), "negative size 2 x -2147483648\n"},
        {texture_with(4, 4, -1, 16), "negative pixel offset -1\n"},
        {texture_with(4, 4, kMin, 16), "negative pixel offset -2147483648\n"},
        // 65536 x 65536 wraps to 0, 65537 x 65537 to 131073 (which this
        // file holds), 46341 x 46341 to a negative count.
        {texture_with(65536, 65536, 44, 0), "65536 x 65536" + many},
        {texture_with(65537, 65537, 44, 131073), "65537 x 65537" + many},
        {texture_with(46341, 46341, 44, 16), "46341 x 46341" + many},
        {texture_with(kMax, kMax, 44, 16), "2147483647 x 2147483647" + many},
        {texture_with(kMax, 1, 44, 16), "pixel block of 2147483647 x 1 at offset 44" + past},
        {texture_with(1, kMax, 44, 16), "pixel block of 1 x 2147483647 at offset 44" + past},
        {texture_with(4, 4, kMax, 16), "pixel block of 4 x 4 at offset 2147483647" + past},
        {texture_with(0, 0, kMax, 0), "pixel block of 0 x 0 at offset 2147483647" + past},
        {texture_with(1, 1, 44, 0), "pixel block of 1 x 1 at offset 44" + past},
        {texture_with(5, 4, 44, 19), "pixel block of 5 x 4 at offset 44" + past},
        {texture_with(4, 5, 44, 19), "pixel block of 4 x 5 at offset 44" + past},
        {texture_with(4, 4, 45, 16), "pixel block of 4 x 4 at offset 45" + past},
        {texture_with(0, 4, 61, 16), "pixel block of 0 x 4 at offset 61" + past},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check(c.file, &h), "Bad texture t.wal: " + c.message) << c.file.size();
}

// The same fields one step back inside the file.
TEST(texture_header, accepts_blocks_that_end_exactly_at_the_end)
{
    TextureHeader h;
    EXPECT_EQ(check(texture_with(4, 4, 44, 16), &h), "");
    EXPECT_EQ(h.width, 4);
    EXPECT_EQ(h.height, 4);
    EXPECT_EQ(h.pixel_offset, 44);
    // A block may overlap the header, and an empty block may sit at the end.
    EXPECT_EQ(check(texture_with(4, 11, 0, 0), &h), "");
    EXPECT_EQ(check(texture_with(0, 4, 60, 16), &h), "");
    EXPECT_EQ(check(texture_with(0, 0, 0, 0), &h), "");
}

TEST(texture_reader, reads_exactly_the_pixel_block)
{
    ScratchDir dir;
    Bytes file(4096, 0xcc);
    Bytes head = make_texture(64, 32, 100, {});
    std::copy(head.begin(), head.end(), file.begin());
    for (size_t i = 0; i < 2048; ++i)
        file[100 + i] = static_cast<unsigned char>(i % 253);
    write_file(dir / "t.wal", file);
    IndexImage image;
    ASSERT_TRUE(read_palette_texture((dir / "t.wal").c_str(), &image));
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 32);
    EXPECT_EQ(memcmp(image.pixels, file.data() + 100, 2048), 0);
    release_index_image(&image);
    EXPECT_EQ(image.pixels, nullptr);
}

// The program's table against the tests' own transcription.
TEST(palette, matches_an_independent_transcription)
{
    const Bytes& expected = test_palette();
    for (size_t i = 0; i < 768; ++i)
        EXPECT_EQ(kTexturePalette[i], expected[i]) << "entry " << i / 3 << " byte " << i % 3;
}
