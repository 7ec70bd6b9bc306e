// The label as SVG in millimetres, for printing from any program.

#include "station/Label.h"

#include <cstdint>
#include <cstdio>

namespace norva::station {
namespace {

// Advance widths of DejaVu Sans and DejaVu Sans Bold (fonts-dejavu-core) for
// ' ' to '~', in its units of 2048 to the em; the mono face is fixed pitch.
constexpr double kUnitsPerEm = 2048;
constexpr uint16_t kSans[95] = {
    651,  821,  942,  1716, 1303, 1946, 1597, 563,  799,  799,  1024, 1716, 651,  739,  651,  690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,  690,  1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604,  604,  1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799,  690,  799,  1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721,  1300, 1298, 569,  569,  1186, 569,  1995, 1298, 1253,
    1300, 1300, 842,  1067, 803,  1298, 1212, 1675, 1212, 1212, 1075, 1303, 690,  1303, 1716};
constexpr uint16_t kSansBold[95] = {
    713,  934,  1067, 1716, 1425, 2052, 1786, 627,  936,  936,  1071, 1716, 778,  850,  778,  748,
    1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 819,  819,  1716, 1716, 1716, 1188,
    2048, 1585, 1561, 1503, 1700, 1399, 1399, 1681, 1714, 762,  762,  1587, 1305, 2038, 1714, 1741,
    1501, 1741, 1577, 1475, 1397, 1663, 1585, 2259, 1579, 1483, 1485, 936,  748,  936,  1716, 1024,
    1024, 1382, 1466, 1214, 1466, 1389, 891,  1466, 1458, 702,  702,  1362, 702,  2134, 1458, 1407,
    1466, 1466, 1010, 1219, 979,  1458, 1335, 1892, 1321, 1335, 1192, 1458, 748,  1458, 1716};
constexpr double kMonoAdvance = 1233;

std::string Num(double value) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.3f", value);
    std::string s = text;
    while (s.back() == '0') {
        s.pop_back();
    }
    if (s.back() == '.') {
        s.pop_back();
    }
    return s;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Control characters are not allowed in XML.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
                out += c;
            }
        }
    }
    return out;
}

// Texts are fitted by DejaVu's widths; the faces a viewer without it takes
// for sans-serif (Liberation Sans, Arial, Helvetica) are narrower.
const char* Family(bool mono) {
    return mono ? "DejaVu Sans Mono, monospace" : "DejaVu Sans, sans-serif";
}

} // namespace

double SvgTextWidth(const std::string& text, double size, bool bold, bool mono) {
    double units = 0;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            // A lead byte starts a character; continuation bytes add nothing.
            units += (byte & 0xC0) == 0xC0 ? kUnitsPerEm : 0;
        } else if (mono) {
            units += kMonoAdvance;
        } else {
            const uint16_t* table = bold ? kSansBold : kSans;
            // Control characters are dropped or drawn as a space.
            units += table[byte >= 0x20 && byte < 0x7F ? byte - 0x20 : 0];
        }
    }
    return units / kUnitsPerEm * size;
}

std::string RenderSvg(const LabelLayout& l) {
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Num(l.width) + "mm\" height=\"" + Num(l.height) + "mm\" viewBox=\"0 0 " +
                      Num(l.width) + " " + Num(l.height) + "\">\n";
    svg += "<rect width=\"" + Num(l.width) + "\" height=\"" + Num(l.height) +
           "\" fill=\"#fff\"/>\n<path fill=\"#000\" shape-rendering=\"crispEdges\" d=\"";
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
            svg += "M" + Num(l.qrX + x * l.module) + " " + Num(l.qrY + y * l.module) + "h" +
                   Num(run * l.module) + "v" + Num(l.module) + "h-" + Num(run * l.module) + "z";
            x += run;
        }
    }
    svg += "\"/>\n";
    for (const LabelText& t : l.texts) {
        const FittedText fit = FitText(
            t.text, t.size, t.minSize, t.room,
            [&](const std::string& text, double size) {
                return SvgTextWidth(text, size, t.bold, t.mono);
            },
            0.05, "\u2026");
        svg += "<text x=\"" + Num(t.x) + "\" y=\"" + Num(t.baseline) + "\" font-size=\"" +
               Num(fit.size) + "\" font-family=\"" + Family(t.mono) + "\"" +
               (t.bold ? " font-weight=\"bold\"" : "") + ">" + Escape(fit.text) + "</text>\n";
    }
    return svg + "</svg>\n";
}

} // namespace norva::station
