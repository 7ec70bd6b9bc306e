// The label as SVG in millimetres, for printing from any program.

#include "station/Label.h"

#include <cstdio>

namespace norva::station {
namespace {

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

} // namespace

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
        svg += "<text x=\"" + Num(t.x) + "\" y=\"" + Num(t.baseline) + "\" font-size=\"" +
               Num(t.size) + "\" font-family=\"" +
               (t.mono ? "DejaVu Sans Mono, monospace" : "DejaVu Sans, sans-serif") + "\"" +
               (t.bold ? " font-weight=\"bold\"" : "") + ">" + Escape(t.text) + "</text>\n";
    }
    return svg + "</svg>\n";
}

} // namespace norva::station
