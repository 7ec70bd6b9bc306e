// The label in ZPL for thermal label printers: the QR code's modules as
// filled boxes (the same modules as the SVG, not the printer's own encoder)
// and the texts in the printer's scalable font 0, or for a text beyond ASCII
// (a Korean name) in a Unicode TrueType font the printer holds.

#include "station/Label.h"

#include <cmath>
#include <cstdio>

namespace norva::station {
namespace {

// NanumGothic Bold (Debian fonts-nanum), downloaded to the printer under
// this name: font 0 has no Hangul.
constexpr const char* kUnicodeFont = "E:NANUMGB.TTF";
// Font 0 is a condensed face: none of its ASCII glyphs is wider than this
// share of the character width (an estimate, to be checked on a printer).
constexpr double kFont0Pitch = 0.8;

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

// ^A's width for a text `height` dots high: font 0 a little condensed except
// for bold names, the Unicode font as designed.
int CharWidth(const std::string& text, int height, bool bold) {
    return ZplUnicodeFont(text) || bold ? height : height * 9 / 10;
}

} // namespace

bool ZplUnicodeFont(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

double ZplTextWidth(const std::string& text, int charWidth) {
    const double pitch = ZplUnicodeFont(text) ? 1.0 : kFont0Pitch;
    double width = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            width += pitch * charWidth;
        }
    }
    return width;
}

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
        const bool unicode = ZplUnicodeFont(t.text);
        const int x = Dots(t.x, dotsPerMm);
        const FittedText fit = FitText(
            t.text, Dots(t.size, dotsPerMm), Dots(t.minSize, dotsPerMm),
            Dots(t.x + t.room, dotsPerMm) - x,
            [&](const std::string& text, double height) {
                return ZplTextWidth(text, CharWidth(t.text, static_cast<int>(height), t.bold));
            },
            1, unicode ? "\u2026" : "...");
        const int height = static_cast<int>(fit.size);
        // ^FO places the text's top; the model gives its baseline.
        const int y = Dots(t.baseline, dotsPerMm) - height * 4 / 5;
        const std::string size =
            std::to_string(height) + "," + std::to_string(CharWidth(t.text, height, t.bold));
        zpl += "^FO" + std::to_string(x) + "," + std::to_string(y) +
               (unicode ? "^A@N," + size + "," + kUnicodeFont : "^A0N," + size) + "^FH^FD" +
               FieldData(fit.text) + "^FS\n";
    }
    return zpl + "^XZ\n";
}

} // namespace norva::station
