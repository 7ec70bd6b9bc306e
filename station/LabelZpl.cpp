// The label in ZPL for thermal label printers: the QR code's modules as
// filled boxes (the same modules as the SVG, not the printer's own encoder)
// and the texts in the printer's scalable font.

#include "station/Label.h"

#include <cmath>
#include <cstdio>

namespace norva::station {
namespace {

int Dots(double mm, int dotsPerMm) {
    return static_cast<int>(std::lround(mm * dotsPerMm));
}

// ^FH lets '_' introduce a hex byte; the printer's command characters and
// '_' itself are written that way.
std::string FieldData(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '^' || c == '~' || c == '_' || byte < 0x20) {
            char hex[4];
            (void)std::snprintf(hex, sizeof hex, "_%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string RenderZpl(const LabelLayout& l, int dotsPerMm) {
    std::string zpl = "^XA\n^CI28\n^PW" + std::to_string(Dots(l.width, dotsPerMm)) + "\n^LL" +
                      std::to_string(Dots(l.height, dotsPerMm)) + "\n";
    const int module = Dots(l.module, dotsPerMm);
    const int left = Dots(l.qrX, dotsPerMm);
    const int top = Dots(l.qrY, dotsPerMm);
    for (int y = 0; y < l.qr.size; ++y) {
        for (int x = 0; x < l.qr.size;) {
            if (!l.qr.Dark(x, y)) {
                ++x;
                continue;
            }
            int run = 1;
            while (x + run < l.qr.size && l.qr.Dark(x + run, y)) {
                ++run;
            }
            // A box as thick as it is high is filled.
            zpl += "^FO" + std::to_string(left + x * module) + "," +
                   std::to_string(top + y * module) + "^GB" + std::to_string(run * module) + "," +
                   std::to_string(module) + "," + std::to_string(module) + "^FS\n";
            x += run;
        }
    }
    for (const LabelText& t : l.texts) {
        const int height = Dots(t.size, dotsPerMm);
        // ^FO places the text's top; the model gives its baseline.
        const int y = Dots(t.baseline - t.size * 0.8, dotsPerMm);
        zpl += "^FO" + std::to_string(Dots(t.x, dotsPerMm)) + "," + std::to_string(y) + "^A0N," +
               std::to_string(height) + "," + std::to_string(t.bold ? height : height * 9 / 10) +
               "^FH^FD" + FieldData(t.text) + "^FS\n";
    }
    return zpl + "^XZ\n";
}

} // namespace norva::station
