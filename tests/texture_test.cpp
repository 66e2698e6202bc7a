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

TEST(targa_writer, every_index_and_odd_widths_expand_through_the_palette)
{
    for (int32_t width : {1, 3, 7, 300}) {
        int32_t height = 5;
        Bytes pixels(static_cast<size_t>(width * height));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<unsigned char>(i * 37);
        Bytes out = build(width, height, pixels);
        EXPECT_EQ(out, expected_targa(width, height, pixels)) << "width " << width;
    }
    Bytes out = build(300, 1, Bytes(300, 0));
    EXPECT_EQ(out[12], 0x2c);
    EXPECT_EQ(out[13], 0x01);
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
    Bytes out = build(width, 1, pixels);
    ASSERT_EQ(out.size(), 18u + 3u * static_cast<size_t>(width));
    EXPECT_EQ(out[12], 3);
    EXPECT_EQ(out[13], 0);
    EXPECT_EQ(out, expected_targa(width, 1, pixels));
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

// Checks a header; returns the one line it printed (empty when accepted).
static std::string check(const Bytes& file, TextureHeader* header)
{
    CaptureStdout();
    bool ok = check_texture_header(file.data(), static_cast<int64_t>(file.size()), "t.wal", header);
    std::string printed = GetCapturedStdout();
    EXPECT_EQ(ok, printed.empty());
    return printed;
}

static Bytes header_only(int32_t width, int32_t height, int32_t offset)
{
    return texture_header(width, height, offset);
}

TEST(texture_header, faults_are_named_in_one_line)
{
    TextureHeader h;
    struct Case {
        Bytes file;
        const char* message;
    } cases[] = {
        {Bytes(43, 0), "Bad texture t.wal: shorter than its 44-byte header\n"},
        {make_texture(-1, 2, 44, {}), "Bad texture t.wal: negative size -1 x 2\n"},
        {make_texture(2, INT32_MIN, 44, {}), "Bad texture t.wal: negative size 2 x -2147483648\n"},
        {header_only(1, 1, -44), "Bad texture t.wal: negative pixel offset -44\n"},
        {make_texture(65536, 65536, 44, {}),
         "Bad texture t.wal: 65536 x 65536 pixels is too many\n"},
        {make_texture(2, 2, 44, {1, 2, 3}),
         "Bad texture t.wal: pixel block of 2 x 2 at offset 44 runs past the end of the file\n"},
        {header_only(0, 0, INT32_MAX),
         "Bad texture t.wal: pixel block of 0 x 0 at offset 2147483647 runs past the end of the "
         "file\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check(c.file, &h), c.message);
}

TEST(texture_header, accepts_blocks_that_end_exactly_at_the_end)
{
    TextureHeader h;
    EXPECT_EQ(check(make_texture(2, 2, 44, {1, 2, 3, 4}), &h), "");
    EXPECT_EQ(h.width, 2);
    EXPECT_EQ(h.pixel_offset, 44);
    // A block may overlap the header, and an empty block may sit at the end.
    EXPECT_EQ(check(make_texture(4, 11, 0, {}), &h), "");
    EXPECT_EQ(check(make_texture(0, 5, 44, {}), &h), "");
}

// Every truncation of a valid file, and every single-byte change of its
// header fields, is either accepted with a block inside the file or
// refused with a message.
TEST(texture_header, truncations_and_flipped_fields_never_escape_the_file)
{
    Bytes valid = make_texture(8, 4, 60, Bytes(32, 9));
    for (size_t length = 0; length < valid.size(); ++length) {
        TextureHeader h;
        Bytes cut(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_NE(check(cut, &h), "") << "length " << length;
    }
    for (size_t at = 32; at < 44; ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes file = valid;
            file[at] = static_cast<unsigned char>(file[at] ^ (1 << bit));
            TextureHeader h;
            if (check(file, &h).empty()) {
                EXPECT_LE(int64_t{h.pixel_offset} + int64_t{h.width} * h.height,
                          static_cast<int64_t>(file.size()));
            }
        }
    }
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

// The vector expansion takes eight pixels a step and finishes each row one
// pixel at a time, storing a little past every piece but the image's last;
// every width around those steps must come out exact, and nothing may be
// written past the file. The portable preset runs this with the scalar
// expansion.
TEST(targa_writer, widths_around_the_expansion_steps)
{
    std::vector<int32_t> widths;
    for (int32_t w = 1; w <= 41; ++w)
        widths.push_back(w);
    for (int32_t w : {63, 64, 65, 255, 256, 257, 1023, 1025})
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

// The palette typed out once more, entry by entry as red, green and blue in
// hexadecimal, so that a slip in the program's table shows here.
TEST(palette, matches_an_independent_transcription)
{
    static const char* const kRows[] = {
        "000000 0f0f0f 1f1f1f 2f2f2f 3f3f3f 4b4b4b 5b5b5b 6b6b6b",
        "7b7b7b 8b8b8b 9b9b9b ababab bbbbbb cbcbcb dbdbdb ebebeb",
        "634b23 5b431f 533f1f 4f3b1b 47371b 3f2f17 3b2b17 332713",
        "2f2313 2b1f13 271b0f 23170f 1b130b 170f0b 130f07 0f0b07",
        "5f5f6f 5b5b67 5b535f 574f5b 534b53 4f474b 473f43 3f3b3b",
        "3b3737 332f2f 2f2b2b 272727 232323 1b1b1b 171717 131313",
        "8f7753 7b6343 735b3b 674f2f cf974b a77b3b 8b672f 6f5327",
        "eb9f27 cb8b23 af771f 93631b 774f17 5b3b0f 3f270b 231707",
        "a73b2b 9f2f23 972b1b 8b2713 7f1f0f 73170b 671707 571300",
        "4b0f00 430f00 3b0f00 330b00 2b0b00 230b00 1b0700 130700",
        "7b5f4b 735743 6b533f 674f3b 5f4737 574333 533f2f 4b372b",
        "433327 3f2f23 37271b 2f2317 271b13 1f170f 170f0b 0f0b07",
        "6f3b17 5f3717 532f17 432b17 372313 271b0f 1b130b 0f0b07",
        "b35b4f bf7b6f cb9b93 d7bbb7 cbd7df b3c7d3 9fb7c3 87a7b7",
        "7397a7 5b879b 47778b 2f677f 17536f 134b67 0f435b 0b3f53",
        "07374b 072f3f 072733 001f2b 00171f 000f13 00070b 000000",
        "8b5757 834f4f 7b4747 734343 6b3b3b 633333 5b2f2f 572b2b",
        "4b2323 3f1f1f 331b1b 2b1313 1f0f0f 130b0b 0b0707 000000",
        "979f7b 8f9773 878b6b 7f8363 777b5f 737357 6b6b4f 636347",
        "5b5b43 4f4f3b 434333 37372b 2f2f23 23231b 171713 0f0f0b",
        "9f4b3f 934337 8b3b2f 7f3727 772f23 6b2b1b 632317 571f13",
        "4f1b0f 43170b 37130b 2b0f07 1f0b07 170700 0b0000 000000",
        "777bcf 6f73c3 676bb7 6363a7 5b5b9b 53578f 4b4f7f 474773",
        "3f3f67 373757 2f2f4b 27273f 231f2f 1b1723 130f17 0b0707",
        "9bab7b 8f9f6f 879763 7b8b57 73834b 677743 5f6f3b 576733",
        "4b5b27 3f4f1b 374313 2f3b0b 232f07 1b2300 131700 0b0f00",
        "00ff00 23e70f 3fd31b 53bb27 5fa72f 5f8f33 5f7b33 ffffff",
        "ffffd3 ffffa7 ffff7f ffff53 ffff27 ffeb1f ffd717 ffbf0f",
        "ffab07 ff9300 ef7f00 e36b00 d35700 c74700 b73b00 ab2b00",
        "9b1f00 8f1700 7f0f00 730700 5f0000 470000 2f0000 1b0000",
        "ef0000 3737ff ff0000 0000ff 2b2b23 1b1b17 13130f eb977f",
        "c37353 9f5733 7b3f1b ebd3c7 c7ab9b a78b77 876b57 9f5b53",
    };
    std::string hex;
    for (const char* row : kRows)
        hex += row + std::string(" ");
    ASSERT_EQ(hex.size(), 256u * 7u);
    for (size_t entry = 0; entry < 256; ++entry) {
        for (size_t c = 0; c < 3; ++c) {
            unsigned long value = std::stoul(hex.substr(entry * 7 + c * 2, 2), nullptr, 16);
            EXPECT_EQ(kTexturePalette[entry * 3 + c], value) << "entry " << entry << " byte " << c;
        }
    }
}
