// CTransparentStatic drawn on a coloured page and read back pixel by pixel.

#include "pages/PageCommon.h"
#include "pages/TransparentStatic.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace norva {
namespace {

const QColor kPageColour(30, 110, 190);

// A 4 x 3 picture: row 0 white, 254, red, white; row 1 all white; row 2 253, green, blue, 254.
QPixmap SamplePicture() {
    QImage image(4, 3, QImage::Format_RGB32);
    const QRgb rows[3][4] = {
        {qRgb(255, 255, 255), qRgb(254, 254, 254), qRgb(200, 0, 0), qRgb(255, 255, 255)},
        {qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 255, 255)},
        {qRgb(253, 253, 253), qRgb(0, 160, 0), qRgb(0, 0, 220), qRgb(254, 255, 255)},
    };
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            image.setPixel(x, y, rows[y][x]);
        }
    }
    return QPixmap::fromImage(image);
}

class TransparentStaticTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qApp->devicePixelRatio() != 1.0) {
            GTEST_SKIP() << "pixel comparisons need a scale of 1";
        }
        page = std::make_unique<QWidget>();
        QPalette palette = page->palette();
        palette.setColor(QPalette::Window, kPageColour);
        page->setPalette(palette);
        page->setAutoFillBackground(true);
        page->resize(80, 60);
        control = new CTransparentStatic(page.get());
        control->move(0, 0);
    }

    QImage Grab() {
        page->show();
        return page->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<QWidget> page;
    CTransparentStatic* control = nullptr;
};

TEST_F(TransparentStaticTest, OnlyExactWhiteLetsThePageShowThrough) {
    control->setPixmap(SamplePicture());
    control->resize(4, 3);
    const QImage shot = Grab();
    EXPECT_EQ(shot.pixelColor(0, 0), kPageColour);
    EXPECT_EQ(shot.pixelColor(3, 0), kPageColour);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(shot.pixelColor(x, 1), kPageColour) << x;
    }
    // Near-white is picture, not background.
    EXPECT_EQ(shot.pixelColor(1, 0), QColor(254, 254, 254));
    EXPECT_EQ(shot.pixelColor(0, 2), QColor(253, 253, 253));
    EXPECT_EQ(shot.pixelColor(3, 2), QColor(254, 255, 255));
    EXPECT_EQ(shot.pixelColor(2, 0), QColor(200, 0, 0));
    EXPECT_EQ(shot.pixelColor(1, 2), QColor(0, 160, 0));
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(0, 0, 220));
}

TEST_F(TransparentStaticTest, LargerRectangleShowsThePageAndNothingIsStretched) {
    control->setPixmap(SamplePicture());
    control->setAlignment(Qt::AlignCenter); // must not move the picture either
    control->resize(20, 15);
    const QImage shot = Grab();
    EXPECT_EQ(shot.pixelColor(1, 0), QColor(254, 254, 254));
    EXPECT_EQ(shot.pixelColor(2, 0), QColor(200, 0, 0));
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(0, 0, 220));
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 20; ++x) {
            if (x >= 4 || y >= 3) {
                ASSERT_EQ(shot.pixelColor(x, y), kPageColour) << x << "," << y;
            }
        }
    }
}

TEST_F(TransparentStaticTest, SmallerRectangleClipsRightAndBottom) {
    control->setPixmap(SamplePicture());
    control->resize(2, 1);
    const QImage shot = Grab();
    EXPECT_EQ(shot.pixelColor(0, 0), kPageColour);
    EXPECT_EQ(shot.pixelColor(1, 0), QColor(254, 254, 254));
    // The red pixel and the bottom row lie outside the control.
    EXPECT_EQ(shot.pixelColor(2, 0), kPageColour);
    EXPECT_EQ(shot.pixelColor(1, 2), kPageColour);
    EXPECT_EQ(shot.pixelColor(2, 2), kPageColour);
}

TEST_F(TransparentStaticTest, ThePaleModuleKeepsItsNearWhiteParts) {
    const QPixmap pale = LoadPicture(kPaleModuleBitmapPath);
    ASSERT_FALSE(pale.isNull());
    control->setPixmap(pale);
    control->resize(pale.size());
    const QImage source = pale.toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shot = Grab();
    int nearWhite = 0;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QColor want = source.pixelColor(x, y);
            if (want == QColor(255, 255, 255)) {
                ASSERT_EQ(shot.pixelColor(x, y), kPageColour) << x << "," << y;
            } else {
                ASSERT_EQ(shot.pixelColor(x, y), want) << x << "," << y;
            }
            nearWhite += want == QColor(254, 254, 254) ? 1 : 0;
        }
    }
    EXPECT_GT(nearWhite, 0);
}

TEST_F(TransparentStaticTest, WithoutBitmapPaintsLikeAPlainLabel) {
    control->setText(QStringLiteral("Norva-BX02"));
    control->resize(70, 20);
    auto* plain = new QLabel(QStringLiteral("Norva-BX02"), page.get());
    plain->setGeometry(0, 30, 70, 20);
    const QImage shot = Grab();
    EXPECT_EQ(shot.copy(0, 0, 70, 20), shot.copy(0, 30, 70, 20));
    bool anyInk = false;
    for (int y = 0; y < 20 && !anyInk; ++y) {
        for (int x = 0; x < 70 && !anyInk; ++x) {
            anyInk = shot.pixelColor(x, y) != kPageColour;
        }
    }
    EXPECT_TRUE(anyInk);
}

} // namespace
} // namespace norva
