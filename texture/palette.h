#pragma once

// The fixed 256-entry texture palette, three bytes per entry: red, green, blue.
extern const unsigned char kTexturePalette[768];
