#include "dist/PixelArt.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixelart {

namespace {

using platform::Colour;
using platform::Picture;

// Perceived brightness of a 0x00BBGGRR colour, in thousandths.
int brightness(Colour c) {
    return 299 * static_cast<int>(c & 0xFF) + 587 * static_cast<int>((c >> 8) & 0xFF) +
           114 * static_cast<int>((c >> 16) & 0xFF);
}

bool clearAt(const Picture& picture, std::size_t i) {
    return picture.isIcon() && picture.mask[i];
}

Picture blank(int size) {
    Picture out;
    out.width = size;
    out.height = size;
    out.pixels.assign(static_cast<std::size_t>(size * size), platform::clBlack);
    out.mask.assign(static_cast<std::size_t>(size * size), true);
    return out;
}

Picture enlarged(const Picture& source, int size, int factor) {
    Picture out = blank(size);
    const int left = (size - source.width * factor) / 2;
    const int top = (size - source.height * factor) / 2;
    for (int y = 0; y < source.height * factor; ++y)
        for (int x = 0; x < source.width * factor; ++x) {
            const auto from = static_cast<std::size_t>((y / factor) * source.width + x / factor);
            const auto to = static_cast<std::size_t>((top + y) * size + left + x);
            out.pixels[to] = source.pixels[from];
            out.mask[to] = clearAt(source, from);
        }
    return out;
}

// How much of target cell `cell` (of `cells` across) source pixel `pixel` (of `pixels` across)
// covers. Lengths are in units of 1/(pixels × cells) of the picture's width, so they are whole.
std::int64_t overlap(int pixel, int pixels, int cell, int cells) {
    const std::int64_t begin =
        std::max<std::int64_t>(std::int64_t{pixel} * cells, std::int64_t{cell} * pixels);
    const std::int64_t end =
        std::min<std::int64_t>(std::int64_t{pixel + 1} * cells, std::int64_t{cell + 1} * pixels);
    return std::max<std::int64_t>(0, end - begin);
}

struct Share {
    Colour colour;
    std::int64_t area;
};

Picture reduced(const Picture& source, int size) {
    Picture out = blank(size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            std::vector<Share> shares;
            std::int64_t clear = 0, total = 0;
            for (int sy = y * source.height / size; sy < source.height; ++sy) {
                const std::int64_t h = overlap(sy, source.height, y, size);
                if (h == 0) break;
                for (int sx = x * source.width / size; sx < source.width; ++sx) {
                    const std::int64_t w = overlap(sx, source.width, x, size);
                    if (w == 0) break;
                    const auto i = static_cast<std::size_t>(sy * source.width + sx);
                    total += w * h;
                    if (clearAt(source, i)) {
                        clear += w * h;
                        continue;
                    }
                    auto share = std::find_if(shares.begin(), shares.end(),
                                              [&](const Share& s) { return s.colour == source.pixels[i]; });
                    if (share == shares.end())
                        share = shares.insert(shares.end(), Share{source.pixels[i], 0});
                    share->area += w * h;
                }
            }
            const auto to = static_cast<std::size_t>(y * size + x);
            if (2 * clear >= total) continue;
            auto darker = [](const Share& a, const Share& b) {
                return brightness(a.colour) < brightness(b.colour);
            };
            std::min_element(shares.begin(), shares.end(), darker)->area *= 2;
            const Share best =
                *std::max_element(shares.begin(), shares.end(), [&](const Share& a, const Share& b) {
                    return a.area != b.area ? a.area < b.area : darker(b, a);
                });
            out.pixels[to] = best.colour;
            out.mask[to] = false;
        }
    return out;
}

} // namespace

Picture resized(const Picture& source, int size) {
    const int factor = std::min(size / source.width, size / source.height);
    return factor >= 1 ? enlarged(source, size, factor) : reduced(source, size);
}

} // namespace pixelart
