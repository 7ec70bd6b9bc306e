#pragma once
// Reading a rendered label back: the tools that render and decode it, and
// its pixels as a grey map (pdftoppm -gray writes PGM).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace norva::test {

// Empty when every tool is on PATH, else a line naming the missing ones.
inline std::string MissingTools(std::initializer_list<const char*> tools) {
    std::string missing;
    for (const char* tool : tools) {
        const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1";
        if (std::system(probe.c_str()) != 0) {
            missing += std::string(missing.empty() ? "" : ", ") + tool;
        }
    }
    return missing.empty() ? missing
                           : missing + " missing (Debian: zbar-tools, poppler-utils, librsvg2-bin)";
}

struct GreyMap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    bool Dark(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                      static_cast<size_t>(x)] < 128;
    }
};

inline bool ReadPgm(const std::string& path, GreyMap& map) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> map.width >> map.height >> maxValue;
    in.get();
    if (!in || magic != "P5" || maxValue != 255 || map.width <= 0 || map.height <= 0) {
        return false;
    }
    map.pixels.resize(static_cast<size_t>(map.width) * static_cast<size_t>(map.height));
    in.read(reinterpret_cast<char*>(map.pixels.data()),
            static_cast<std::streamsize>(map.pixels.size()));
    return static_cast<bool>(in);
}

// The dark pixels' bounding box among the columns [fromX, toX); right and
// bottom are one past the last dark pixel; all -1 when there is none.
struct InkBox {
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;
};
inline InkBox Ink(const GreyMap& map, int fromX, int toX) {
    InkBox box;
    for (int y = 0; y < map.height; ++y) {
        for (int x = fromX; x < toX && x < map.width; ++x) {
            if (!map.Dark(x, y)) {
                continue;
            }
            if (box.left < 0) {
                box = {x, y, x + 1, y + 1};
            }
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x + 1);
            box.bottom = y + 1;
        }
    }
    return box;
}

} // namespace norva::test
