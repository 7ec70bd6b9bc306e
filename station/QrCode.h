#pragma once
// A QR code's modules, encoded by libqrencode.

#include <cstdint>
#include <string>
#include <vector>

namespace norva::station {

struct QrMatrix {
    int size = 0; // modules per side, without the quiet zone
    std::vector<uint8_t> dark;
    bool Dark(int x, int y) const {
        const size_t at =
            static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x);
        return dark[at] != 0;
    }
};

// Error correction level M, byte mode; false when the text does not fit.
bool EncodeQr(const std::string& text, QrMatrix& out, std::string& error);

} // namespace norva::station
