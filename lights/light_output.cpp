#include "light_output.h"

bool flush_light_output(LightOutput* out)
{
    if (!out->failed && out->used > 0 && fwrite(out->buffer, 1, out->used, out->file) != out->used)
        out->failed = true;
    out->used = 0;
    return !out->failed;
}
