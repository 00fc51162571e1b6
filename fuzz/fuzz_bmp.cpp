// libFuzzer harness of the BMP decoder: any bytes must decode to a picture
// of sane size or be refused, without reading outside them. The display
// format is picked from the input's length so that all four are covered.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/images/bmp.h"
#include "platform/pixels/surface.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int kDepths[4] = {15, 16, 24, 32};
    const plat::PixelFormat format = plat::FormatForBits(kDepths[size % 4]);
    plat::Surface* s = plat::DecodeBmp(data, size, format);
    if (s) {
        if (s->width < 1 || s->height < 1 || s->width > plat::kMaxSurfaceSide || s->height > plat::kMaxSurfaceSide)
            std::abort();
        // Touch the corners so that a bad surface would show.
        volatile std::uint32_t sink = plat::GetPixel(*s, 0, 0) ^ plat::GetPixel(*s, s->width - 1, s->height - 1);
        (void)sink;
        plat::DestroySurface(s);
    }
    return 0;
}
