#include "station/Label.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace norva::station {
namespace {

constexpr double kMargin = 1.5;
constexpr int kQuietModules = 4;
// Modules are whole dots of a 203-dpi printer, so that ZPL draws them evenly.
constexpr double kDotsPerMm = 8;
// What fits in the text column beside the QR code at these sizes.
constexpr size_t kNameChars = 20;
constexpr size_t kUartChars = 24;

std::string Clip(const std::string& text, size_t chars) {
    // Counted in code points, so that a UTF-8 name is never cut inside one.
    size_t points = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++points > chars) {
            return text.substr(0, i);
        }
    }
    return text;
}

} // namespace

std::string PairPayload(const std::string& address1, const std::string& address2) {
    return "NORVA-PAIR:" + NormalAddress(address1) + "," + NormalAddress(address2);
}

LabelContent LabelFromRecord(const AttemptRecord& r) {
    LabelContent c;
    for (int i = 0; i < 2; ++i) {
        c.address[i] = r.unit[i].address;
        c.name[i] = r.unit[i].name;
        c.uart[i] = r.unit[i].uart;
    }
    const std::string& when = r.endedAt.empty() ? r.startedAt : r.endedAt;
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
    auto add = [&](double baseline, double size, bool bold, bool mono, const std::string& text) {
        layout.texts.push_back({x, baseline, size, bold, mono, text});
    };
    for (int i = 0; i < 2; ++i) {
        const double top = 4.4 + i * 6.8;
        const std::string name =
            content.name[i].empty() ? "Unit " + std::to_string(i + 1) : content.name[i];
        add(top, 2.6, true, false, Clip(name, kNameChars));
        add(top + 3.0, 2.4, false, true, NormalAddress(content.address[i]));
    }
    if (content.uart[0] == content.uart[1]) {
        if (!content.uart[0].empty()) {
            add(18.4, 1.9, false, false, Clip("UART " + content.uart[0], kUartChars));
        }
    } else {
        for (int i = 0; i < 2; ++i) {
            const std::string uart = content.uart[i].empty() ? "-" : content.uart[i];
            add(17.4 + i * 2.3, 1.7, false, false,
                Clip(std::to_string(i + 1) + ": " + uart, kUartChars));
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
