#include "station/Label.h"

#include "station/Stamp.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace norva::station {
namespace {

constexpr double kMargin = 1.5;
constexpr int kQuietModules = 4;
// Modules are whole dots of a 203-dpi printer, so that ZPL draws them evenly.
constexpr double kDotsPerMm = 8;
// Names shrink to this before they are cut: about 4.5 pt, 13 dots at 203 dpi;
// the UART line, which a printer's estimate may find long, a little further.
constexpr double kMinNameSize = 1.6;
constexpr double kMinUartSize = 1.4;

size_t NextCodePoint(const std::string& text, size_t at) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
        ++at;
    }
    return at;
}

} // namespace

FittedText FitText(const std::string& text, double size, double minSize, double room,
                   const TextWidth& width, double step, const std::string& ellipsis) {
    double at = size;
    while (width(text, at) > room && at > minSize) {
        at = std::max(minSize, at - step);
    }
    if (width(text, at) <= room) {
        return {text, at};
    }
    // The longest start of the text, cut between characters, that fits with
    // the ellipsis; a space before the ellipsis would only take room.
    std::string best;
    for (size_t end = NextCodePoint(text, 0); end <= text.size(); end = NextCodePoint(text, end)) {
        std::string head = text.substr(0, end);
        while (!head.empty() && head.back() == ' ') {
            head.pop_back();
        }
        if (width(head + ellipsis, at) > room) {
            break;
        }
        best = head;
        if (end == text.size()) {
            break;
        }
    }
    return {best + ellipsis, at};
}

std::string PairPayload(const std::string& address1, const std::string& address2) {
    return "NORVA-PAIR:" + NormalAddress(address1) + "," + NormalAddress(address2);
}

LabelContent LabelFromRecord(const AttemptRecord& r) {
    LabelContent c;
    for (int i = 0; i < 2; ++i) {
        c.address[i] = r.unit[i].address;
        c.name[i] = r.unit[i].name;
        c.uart[i] = r.unit[i].configured ? r.unit[i].uart : std::string();
    }
    // A pair labelled as it is paired, before the register has its end.
    const std::string when = !r.endedAt.empty() ? r.endedAt : UtcNow();
    c.date = when.substr(0, 10);
    return c;
}

bool LayOutLabel(const LabelContent& content, LabelLayout& layout, std::string& error) {
    for (const std::string& address : content.address) {
        if (NormalAddress(address).empty()) {
            error = "'" + address + "' is not a unit address (12 hex digits)";
            return false;
        }
    }
    layout = LabelLayout{};
    layout.fileStem =
        "label-" + NormalAddress(content.address[0]) + "-" + NormalAddress(content.address[1]);
    if (!EncodeQr(PairPayload(content.address[0], content.address[1]), layout.qr, error)) {
        return false;
    }
    const double room = layout.height - 2 * kMargin;
    const int modules = layout.qr.size + 2 * kQuietModules;
    layout.module = std::floor(room / modules * kDotsPerMm) / kDotsPerMm;
    if (layout.module <= 0) {
        error = "the QR code does not fit on the label";
        return false;
    }
    const double side = modules * layout.module;
    layout.qrX = kMargin + kQuietModules * layout.module;
    layout.qrY = (layout.height - side) / 2 + kQuietModules * layout.module;

    const double x = kMargin + side + 1.0;
    const double column = layout.width - kMargin - x;
    auto add = [&](double baseline, double size, bool bold, bool mono, const std::string& text,
                   double minSize = 0) {
        layout.texts.push_back(
            {x, baseline, size, bold, mono, text, column, minSize > 0 ? minSize : size});
    };
    for (int i = 0; i < 2; ++i) {
        const double top = 4.4 + i * 6.8;
        const std::string name =
            content.name[i].empty() ? "Unit " + std::to_string(i + 1) : content.name[i];
        add(top, 2.6, true, false, name, kMinNameSize);
        add(top + 3.0, 2.4, false, true, NormalAddress(content.address[i]));
    }
    if (content.uart[0] == content.uart[1]) {
        if (!content.uart[0].empty()) {
            add(18.4, 1.9, false, false, "UART " + content.uart[0], kMinUartSize);
        }
    } else {
        for (int i = 0; i < 2; ++i) {
            const std::string uart = content.uart[i].empty() ? "-" : content.uart[i];
            add(17.4 + i * 2.3, 1.7, false, false, std::to_string(i + 1) + ": " + uart,
                kMinUartSize);
        }
    }
    if (!content.date.empty()) {
        add(22.6, 1.9, false, false, "paired " + content.date);
    }
    return true;
}

bool WriteLabel(const LabelLayout& layout, const std::string& path, std::string& error) {
    const size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string text;
    if (ext == ".svg") {
        text = RenderSvg(layout);
    } else if (ext == ".zpl") {
        text = RenderZpl(layout);
    } else {
        error = "the label " + path + " must end in .svg or .zpl";
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        error = "cannot write the label " + path;
        return false;
    }
    return true;
}

} // namespace norva::station
