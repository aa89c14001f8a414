// Scaling the remote picture with pixman. Each destination pixel is found by the same
// transform, whatever part of the picture is scaled, so scaling changed parts one at a
// time gives exactly the pixels of scaling the whole picture.
#include "connection/scaling.h"

#include <pixman.h>

#include <algorithm>

namespace {

long long floorDiv(long long a, long long b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

long long ceilDiv(long long a, long long b)
{
    return -floorDiv(-a, b);
}

// The destination pixels [first, end) along one axis whose samples may come from the
// source pixels [from, to). A destination pixel d samples around the source position
// (d + 0.5) * src / dst - 0.5 (bilinear reads that pixel and the next, nearest reads one
// of them): the changed span is widened by one source pixel, and one destination pixel
// on each side covers pixman's fixed-point rounding.
void scaledSpan(int from, int to, int srcSize, int dstSize, int* first, int* end)
{
    const long long low = floorDiv(static_cast<long long>(from - 1) * dstSize, srcSize) - 1;
    const long long high = ceilDiv(static_cast<long long>(to + 1) * dstSize, srcSize) + 1;
    *first = static_cast<int>(std::clamp<long long>(low, 0, dstSize));
    *end = static_cast<int>(std::clamp<long long>(high, *first, dstSize));
}

} // namespace

TNRect tnScaledRectOf(const TNRect& src, int srcW, int srcH, int dstW, int dstH)
{
    TNRect scaled;
    if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0 || src.w <= 0 || src.h <= 0)
        return scaled;
    const int x0 = std::clamp(src.x, 0, srcW);
    const int y0 = std::clamp(src.y, 0, srcH);
    const int x1 = std::clamp(src.x + src.w, x0, srcW);
    const int y1 = std::clamp(src.y + src.h, y0, srcH);
    if (x1 <= x0 || y1 <= y0)
        return scaled;
    int first = 0, end = 0;
    scaledSpan(x0, x1, srcW, dstW, &first, &end);
    scaled.x = first;
    scaled.w = end - first;
    scaledSpan(y0, y1, srcH, dstH, &first, &end);
    scaled.y = first;
    scaled.h = end - first;
    return scaled;
}

void tnScaleRect(const TNPixels& src, uint8_t* dst, int dstW, int dstH, const TNRect& dstRect, bool fast)
{
    if (!src.data || !dst || src.width <= 0 || src.height <= 0 || dstW <= 0 || dstH <= 0)
        return;
    const int x0 = std::clamp(dstRect.x, 0, dstW);
    const int y0 = std::clamp(dstRect.y, 0, dstH);
    const int x1 = std::clamp(dstRect.x + dstRect.w, x0, dstW);
    const int y1 = std::clamp(dstRect.y + dstRect.h, y0, dstH);
    if (x1 <= x0 || y1 <= y0)
        return;
    // pixman only reads the source here; its image type takes a writable pointer.
    pixman_image_t* from =
        pixman_image_create_bits(PIXMAN_x8b8g8r8, src.width, src.height,
                                 reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(src.data)), src.width * 4);
    pixman_image_t* to =
        pixman_image_create_bits(PIXMAN_x8b8g8r8, dstW, dstH, reinterpret_cast<uint32_t*>(dst), dstW * 4);
    if (from && to) {
        // The transform maps destination positions to source positions.
        pixman_transform_t transform;
        pixman_transform_init_scale(&transform, pixman_double_to_fixed(double(src.width) / dstW),
                                    pixman_double_to_fixed(double(src.height) / dstH));
        pixman_image_set_transform(from, &transform);
        pixman_image_set_filter(from, fast ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR, nullptr, 0);
        // The edges repeat outwards, so the border is not blended with black.
        pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
        pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, x0, y0, 0, 0, x0, y0, x1 - x0, y1 - y0);
    }
    if (from)
        pixman_image_unref(from);
    if (to)
        pixman_image_unref(to);
}

bool TNScaledPicture::matches(int sourceW, int sourceH, int scaledW, int scaledH, bool nearest) const
{
    return !pixels.empty() && srcW == sourceW && srcH == sourceH && dstW == scaledW && dstH == scaledH &&
           fast == nearest;
}

void TNScaledPicture::rebuild(const TNPixels& src, int scaledW, int scaledH, bool nearest)
{
    srcW = src.width;
    srcH = src.height;
    dstW = std::max(0, scaledW);
    dstH = std::max(0, scaledH);
    fast = nearest;
    pixels.assign(static_cast<size_t>(dstW) * static_cast<size_t>(dstH) * 4, 0);
    tnScaleRect(src, pixels.data(), dstW, dstH, {0, 0, dstW, dstH}, fast);
}

TNRect TNScaledPicture::update(const TNPixels& src, const TNRect& changed)
{
    if (pixels.empty() || src.width != srcW || src.height != srcH)
        return {};
    const TNRect scaled = tnScaledRectOf(changed, srcW, srcH, dstW, dstH);
    tnScaleRect(src, pixels.data(), dstW, dstH, scaled, fast);
    return scaled;
}

void TNScaledPicture::clear()
{
    srcW = srcH = dstW = dstH = 0;
    pixels.clear();
    pixels.shrink_to_fit();
}
