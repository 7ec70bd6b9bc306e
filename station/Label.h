#pragma once
// A pair's label for a 50 x 25 mm sticker: both names and addresses, the UART
// stored, the date, and a QR code of "NORVA-PAIR:<address 1>,<address 2>".
// The layout is one model in millimetres that every renderer draws: SVG,
// ZPL for label printers, and the wizard's printer.

#include "station/Attempt.h"
#include "station/QrCode.h"

#include <functional>
#include <string>
#include <vector>

namespace norva::station {

struct LabelContent {
    std::string address[2]; // 12 hex digits
    std::string name[2];
    std::string uart[2]; // as stored, "9600,none,1,flow"; empty: not known
    std::string date;    // "2026-12-08"
};

struct LabelText {
    double x = 0;        // left edge, mm
    double baseline = 0; // mm from the top
    double size = 0;     // the font's em height, mm
    bool bold = false;
    bool mono = false;
    std::string text;
    double room = 0;    // the width it may take from x, mm
    double minSize = 0; // the smallest size it shrinks to before it is cut, mm
};

struct LabelLayout {
    double width = 50;  // mm
    double height = 25; // mm
    QrMatrix qr;
    double qrX = 0; // the QR code's first module (the quiet zone lies around it), mm
    double qrY = 0;
    double module = 0; // one module's side, mm
    std::vector<LabelText> texts;
    std::string fileStem; // "label-00A0961B2C01-00A0961B2C02", a file name for this pair
};

// A text as drawn: at `size` (the unit of the renderer's measure) and cut with
// an ellipsis when even the smallest size was too wide.
struct FittedText {
    std::string text;
    double size = 0;
};
// The width `text` takes at `size`, as the renderer's font sets it.
using TextWidth = std::function<double(const std::string& text, double size)>;
// Shrinks by `step` from `size` down to `minSize` until `text` fits `room`;
// past that cuts it at a character and appends `ellipsis`.
FittedText FitText(const std::string& text, double size, double minSize, double room,
                   const TextWidth& width, double step, const std::string& ellipsis);

// The width in mm of `text` at `size` mm in the font the SVG names (DejaVu
// Sans, bold, or DejaVu Sans Mono): its advances for ASCII, a full em for
// any other character (a fallback font's CJK glyph is one em at most).
double SvgTextWidth(const std::string& text, double size, bool bold, bool mono);
// The ZPL printer's font for `text`: its resident scalable font 0 for ASCII,
// else a Unicode TrueType font the printer must hold (see docs/records.md).
bool ZplUnicodeFont(const std::string& text);
// The width in dots of `text` printed `charWidth` dots wide (^A's width):
// fixed pitch, a character of font 0 at most 0.8 of it, one of the Unicode
// font a whole one.
double ZplTextWidth(const std::string& text, int charWidth);

// "NORVA-PAIR:00A0961B2C01,00A0961B2C02".
std::string PairPayload(const std::string& address1, const std::string& address2);
// The content of a recorded pair (its end date).
LabelContent LabelFromRecord(const AttemptRecord& record);
bool LayOutLabel(const LabelContent& content, LabelLayout& layout, std::string& error);

std::string RenderSvg(const LabelLayout& layout);
// For a printer of `dotsPerMm` (8 = 203 dpi); text is UTF-8 (^CI28).
std::string RenderZpl(const LabelLayout& layout, int dotsPerMm = 8);
// By the file's extension: .svg or .zpl.
bool WriteLabel(const LabelLayout& layout, const std::string& path, std::string& error);

} // namespace norva::station
