#include "support/screens.h"

#include <map>
#include <mutex>
#include <sstream>

std::string TNPixelFormat::key() const
{
    std::ostringstream k;
    k << bigEndian << ',' << redShift << ',' << greenShift << ',' << blueShift << ',' << redMax << ',' << greenMax
      << ',' << blueMax;
    return k.str();
}

const std::vector<std::vector<uint8_t>>& tnBenchScreens(const TNPixelFormat& format, bool flat)
{
    static std::mutex lock;
    static std::map<std::string, std::vector<std::vector<uint8_t>>> cache;
    std::lock_guard<std::mutex> hold(lock);
    auto& screens = cache[format.key() + (flat ? ",flat" : "")];
    if (!screens.empty())
        return screens;
    screens.resize(tnBenchFrames);
    for (int f = 0; f < tnBenchFrames; ++f) {
        std::vector<uint8_t>& data = screens[f];
        data.resize(static_cast<size_t>(tnBenchWidth) * tnBenchHeight * 4);
        for (int y = 0; y < tnBenchHeight; ++y) {
            for (int x = 0; x < tnBenchWidth; ++x) {
                // Every pixel differs from the previous screen's, or every colour does.
                const uint32_t r = ((flat ? 40 : x) + f * 37) & 255, g = ((flat ? 90 : y) + f * 53) & 255,
                               b = ((flat ? 20 : x ^ y) + f * 11) & 255;
                const uint32_t v = (r * format.redMax / 255) << format.redShift |
                                   (g * format.greenMax / 255) << format.greenShift |
                                   (b * format.blueMax / 255) << format.blueShift;
                uint8_t* p = &data[(static_cast<size_t>(y) * tnBenchWidth + x) * 4];
                if (format.bigEndian) {
                    p[0] = v >> 24, p[1] = v >> 16, p[2] = v >> 8, p[3] = v;
                } else {
                    p[0] = v, p[1] = v >> 8, p[2] = v >> 16, p[3] = v >> 24;
                }
            }
        }
    }
    return screens;
}

TNBoxChange tnBenchBoxChange(long number)
{
    const int columns = tnBenchWidth / tnBenchBox, rows = tnBenchHeight / tnBenchBox;
    TNBoxChange change;
    change.x = static_cast<int>(number % columns) * tnBenchBox;
    change.y = static_cast<int>((number / columns) % rows) * tnBenchBox;
    change.screen = static_cast<int>((number / (columns * rows) + 1) % tnBenchFrames);
    return change;
}
