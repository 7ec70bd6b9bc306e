// The pair label: what it says, its QR code read back by a decoder (zbarimg)
// from the rendered SVG and from the ZPL's boxes, and long names kept inside
// the label.

#include "LabelImage.h"
#include "station/Label.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

namespace norva::station {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

std::string Output(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buf[4096];
    while (p != nullptr && fgets(buf, sizeof buf, p) != nullptr) {
        out += buf;
    }
    if (p != nullptr) {
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

class LabelFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/norva-label-XXXXXX";
        m_dir = mkdtemp(dir);
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::string m_dir;
};

LabelContent Content() {
    LabelContent c;
    c.address[0] = "00:a0:96:1b:2c:01";
    c.address[1] = "00A0961B2C02";
    c.name[0] = "Norva-BX01";
    c.name[1] = "Pump <A> & \"B\"";
    c.uart[0] = c.uart[1] = "115200,even,1,flow";
    c.date = "2026-12-08";
    return c;
}

TEST_F(LabelFiles, TheSvgSaysWhatWasPairedAndItsQrCodeHoldsBothAddresses) {
    if (const std::string missing = test::MissingTools({"rsvg-convert", "zbarimg"});
        !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    LabelLayout layout;
    std::string error;
    ASSERT_TRUE(LayOutLabel(Content(), layout, error)) << error;
    // Sized for a 50 x 25 mm label, the code with its quiet zone inside it.
    const double side = (layout.qr.size + 8) * layout.module;
    EXPECT_LE(layout.qrY - 4 * layout.module + side, 25.0);
    EXPECT_GE(layout.qrY - 4 * layout.module, 0.0);
    for (const LabelText& t : layout.texts) {
        EXPECT_GT(t.x, layout.qrX + layout.qr.size * layout.module) << t.text;
        EXPECT_LT(t.baseline, 25.0) << t.text;
    }
    const std::string svg = Path("pair.svg");
    ASSERT_TRUE(WriteLabel(layout, svg, error)) << error;
    std::ifstream in(svg);
    std::stringstream text;
    text << in.rdbuf();
    for (const char* part : {"width=\"50mm\" height=\"25mm\"", ">Norva-BX01<", ">00A0961B2C01<",
                             ">Pump &lt;A&gt; &amp; &quot;B&quot;<", ">00A0961B2C02<",
                             ">UART 115200,even,1,flow<", ">paired 2026-12-08<"}) {
        EXPECT_NE(text.str().find(part), std::string::npos) << part;
    }
    const std::string png = Path("pair.png");
    ASSERT_EQ(std::system(("rsvg-convert -w 1000 -b white -o '" + png + "' '" + svg + "'").c_str()),
              0);
    EXPECT_EQ(Output("zbarimg --raw -q '" + png + "' 2>/dev/null"),
              "NORVA-PAIR:00A0961B2C01,00A0961B2C02");
}

// The ZPL's boxes drawn into a bitmap as the printer would, then decoded.
TEST_F(LabelFiles, TheZplDrawsTheSameQrCodeInWholeDots) {
    if (const std::string missing = test::MissingTools({"zbarimg"}); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    LabelLayout layout;
    std::string error;
    ASSERT_TRUE(LayOutLabel(Content(), layout, error)) << error;
    const std::string zpl = RenderZpl(layout);
    EXPECT_EQ(zpl.rfind("^XA\n^CI28\n^PW400\n^LL200\n", 0), 0u) << zpl.substr(0, 40);
    EXPECT_NE(zpl.find("^FH^FDPump <A> & \"B\"^FS"), std::string::npos);
    EXPECT_NE(zpl.find("^FH^FDUART 115200,even,1,flow^FS"), std::string::npos);

    constexpr int kWidth = 400;
    constexpr int kHeight = 200;
    std::vector<int> bits(kWidth * kHeight, 0);
    const std::regex box(R"(\^FO(\d+),(\d+)\^GB(\d+),(\d+),(\d+)\^FS)");
    int boxes = 0;
    for (std::sregex_iterator it(zpl.begin(), zpl.end(), box), end; it != end; ++it) {
        const int x = std::stoi((*it)[1]);
        const int y = std::stoi((*it)[2]);
        const int w = std::stoi((*it)[3]);
        const int h = std::stoi((*it)[4]);
        EXPECT_EQ(std::stoi((*it)[5]), h) << "a filled box";
        ASSERT_LE(x + w, kWidth);
        ASSERT_LE(y + h, kHeight);
        for (int yy = y; yy < y + h; ++yy) {
            for (int xx = x; xx < x + w; ++xx) {
                bits[yy * kWidth + xx] = 1;
            }
        }
        ++boxes;
    }
    EXPECT_GT(boxes, 20);
    const std::string pbm = Path("pair.pbm");
    {
        std::ofstream out(pbm);
        out << "P1\n" << kWidth << " " << kHeight << "\n";
        for (int i = 0; i < kWidth * kHeight; ++i) {
            out << bits[i] << ((i + 1) % kWidth == 0 ? "\n" : " ");
        }
    }
    EXPECT_EQ(Output("zbarimg --raw -q '" + pbm + "' 2>/dev/null"),
              "NORVA-PAIR:00A0961B2C01,00A0961B2C02");
}

TEST_F(LabelFiles, BadInputIsRefusedWithAReason) {
    LabelContent c = Content();
    c.address[1] = "not-an-address";
    LabelLayout layout;
    std::string error;
    EXPECT_FALSE(LayOutLabel(c, layout, error));
    EXPECT_NE(error.find("'not-an-address' is not a unit address"), std::string::npos) << error;
    ASSERT_TRUE(LayOutLabel(Content(), layout, error));
    EXPECT_FALSE(WriteLabel(layout, Path("pair.pdf"), error));
    EXPECT_NE(error.find("must end in .svg or .zpl"), std::string::npos) << error;
    EXPECT_FALSE(WriteLabel(layout, "/nonexistent-dir/pair.svg", error));
    EXPECT_NE(error.find("cannot write the label /nonexistent-dir/pair.svg"), std::string::npos);

    // Different settings per unit get a line each; a name too long even at
    // the smallest size is cut.
    c = Content();
    c.uart[1] = "9600,none,1,noflow";
    c.name[0] = std::string(40, 'N');
    ASSERT_TRUE(LayOutLabel(c, layout, error));
    const std::string svg = RenderSvg(layout);
    EXPECT_NE(svg.find(">1: 115200,even,1,flow<"), std::string::npos);
    EXPECT_NE(svg.find(">2: 9600,none,1,noflow<"), std::string::npos);
    std::smatch cut;
    ASSERT_TRUE(std::regex_search(svg, cut, std::regex(">(N+)\u2026<"))) << svg;
    EXPECT_GT(cut[1].length(), 10);
    EXPECT_LT(cut[1].length(), 40);
}

// `text` is `name`, or its start followed by `ellipsis`.
void ExpectStartOf(const std::string& name, const std::string& text, const std::string& ellipsis) {
    if (text == name) {
        return;
    }
    ASSERT_GT(text.size(), ellipsis.size()) << text;
    const std::string head = text.substr(0, text.size() - ellipsis.size());
    EXPECT_EQ(text.substr(head.size()), ellipsis) << text;
    EXPECT_EQ(name.rfind(head, 0), 0u) << text;
}

// A 20-character name, Latin or Hangul, shrinks (and is cut if need be) so
// that it ends inside the label's right margin: by the widths the renderers
// fit it with, by the ink of the SVG as a renderer draws it, and by the ink of
// the ZPL's field drawn in a wider face than font 0 and in the Unicode font
// the printer is to hold.
TEST_F(LabelFiles, ATwentyCharacterNameFitsTheLabelInSvgAndZpl) {
    if (const std::string missing = test::MissingTools({"rsvg-convert", "pdftoppm"});
        !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const bool nanum = !Output("fc-list 'NanumGothic:style=Bold' family").empty();
    constexpr double kRight = 48.5;  // mm: the label's margin
    constexpr int kRightDots = 388;  // the same at 8 dots per mm
    constexpr int kPixelsPerMm = 20; // the renderings below, at 508 dpi
    auto inkRight = [&](const std::string& svgText, const std::string& name) {
        WriteFile(Path(name + ".svg"), svgText);
        const std::string pdf = Path(name + ".pdf");
        EXPECT_EQ(
            std::system(
                ("rsvg-convert -f pdf -o '" + pdf + "' '" + Path(name + ".svg") + "'").c_str()),
            0);
        EXPECT_EQ(
            std::system(
                ("pdftoppm -gray -r 508 -singlefile '" + pdf + "' '" + Path(name) + "'").c_str()),
            0);
        test::GreyMap map;
        EXPECT_TRUE(test::ReadPgm(Path(name + ".pgm"), map));
        // The text column, right of the QR code; the name reaches well into it.
        const int right = test::Ink(map, 21 * kPixelsPerMm, map.width).right;
        EXPECT_GT(right, 35 * kPixelsPerMm);
        return right;
    };
    const std::string names[] = {"Compressor Room 12-B", "\uac00\ub098\ub2e4\ub77c\ub9c8"
                                                         "\ubc14\uc0ac\uc544\uc790\ucc28"
                                                         "\uce74\ud0c0\ud30c\ud558\uac70"
                                                         "\ub108\ub354\ub7ec\uba38\ubc84"};
    for (int n = 0; n < 2; ++n) {
        const std::string& name = names[n];
        const bool hangul = n == 1;
        SCOPED_TRACE(name);
        LabelContent c = Content();
        c.name[0] = name;
        LabelLayout layout;
        std::string error;
        ASSERT_TRUE(LayOutLabel(c, layout, error)) << error;

        const std::string svg = RenderSvg(layout);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            svg, m,
            std::regex("<text x=\"([0-9.]+)\" y=\"[0-9.]+\" font-size=\"([0-9.]+)\" "
                       "font-family=\"DejaVu Sans, sans-serif\" font-weight=\"bold\">([^<]*)<")));
        const double size = std::stod(m[2]);
        const std::string text = m[3];
        EXPECT_GE(size, 1.6);
        EXPECT_LE(std::stod(m[1]) + SvgTextWidth(text, size, true, false), kRight + 1e-9) << text;
        ExpectStartOf(name, text, "\u2026");
        EXPECT_LE(inkRight(svg, "svg" + std::to_string(n)), kRight * kPixelsPerMm);

        const std::string zpl = RenderZpl(layout);
        ASSERT_TRUE(std::regex_search(
            zpl, m,
            std::regex(R"(\^FO(\d+),(\d+)\^A([0@])N,(\d+),(\d+)(,[^^]+)?\^FH\^FD([^^]*)\^FS)")));
        const int x = std::stoi(m[1]);
        const int height = std::stoi(m[4]);
        const int width = std::stoi(m[5]);
        const std::string field = m[7];
        EXPECT_EQ(m[3], hangul ? "@" : "0");
        EXPECT_EQ(m[6], hangul ? ",E:NANUMGB.TTF" : "");
        EXPECT_GE(height, 13);
        EXPECT_LE(x + ZplTextWidth(field, width), kRightDots) << field;
        ExpectStartOf(name, field, hangul ? "\u2026" : "...");
        if (hangul && !nanum) {
            std::cout << "[   NOTE   ] NanumGothic Bold is not installed (fonts-nanum): the "
                         "Hangul field is not drawn\n";
            continue;
        }
        // The field as a printer would set it, in dots: `height` high,
        // stretched to `width`.
        const std::string face = hangul ? "NanumGothic" : "DejaVu Sans Condensed";
        const std::string drawn =
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"50mm\" height=\"25mm\" "
            "viewBox=\"0 0 400 200\"><rect width=\"400\" height=\"200\" fill=\"#fff\"/>"
            "<text transform=\"translate(" +
            std::to_string(x) + " 0) scale(" + std::to_string(static_cast<double>(width) / height) +
            " 1)\" y=\"" + std::to_string(std::stoi(m[2]) + height * 4 / 5) + "\" font-size=\"" +
            std::to_string(height) + "\" font-family=\"" + face + "\" font-weight=\"bold\">" +
            field + "</text></svg>\n";
        EXPECT_LE(inkRight(drawn, "zpl" + std::to_string(n)), kRightDots * kPixelsPerMm / 8);
    }
}

} // namespace
} // namespace norva::station
