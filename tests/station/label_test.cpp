// The pair label: what it says, and its QR code read back by a decoder
// (zbarimg) from the rendered SVG and from the ZPL's boxes.

#include "station/Label.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

namespace norva::station {
namespace {

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

    // Different settings per unit get a line each; a long name is cut.
    c = Content();
    c.uart[1] = "9600,none,1,noflow";
    c.name[0] = std::string(40, 'N');
    ASSERT_TRUE(LayOutLabel(c, layout, error));
    const std::string svg = RenderSvg(layout);
    EXPECT_NE(svg.find(">1: 115200,even,1,flow<"), std::string::npos);
    EXPECT_NE(svg.find(">2: 9600,none,1,noflow<"), std::string::npos);
    EXPECT_NE(svg.find(">" + std::string(20, 'N') + "<"), std::string::npos);
}

} // namespace
} // namespace norva::station
