// The embedded pictures and the Connecting clip: present, of the promised
// kind, and readable by Qt.

#include "pages/PageCommon.h"

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <gtest/gtest.h>

namespace norva {
namespace {

TEST(Resources, IconsAreThirtyTwoSquare) {
    for (const char* path : {kModuleIconPath, kConnectorIconPath, kPaleModuleBitmapPath}) {
        const QImage image(QString::fromLatin1(path));
        ASSERT_FALSE(image.isNull()) << path;
        EXPECT_EQ(image.size(), QSize(32, 32)) << path;
    }
    EXPECT_FALSE(QImage(QString::fromLatin1(kAppIconPath)).isNull());
}

TEST(Resources, AppIconComesInSmallAndLargeSizes) {
    const QIcon icon = LoadAppIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (const QSize size :
         {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(128, 128), QSize(256, 256)}) {
        EXPECT_TRUE(sizes.contains(size)) << size.width();
    }
}

TEST(Resources, PaleModuleIsATwentyFourBitPictureOnPureWhite) {
    QImageReader reader(QString::fromLatin1(kPaleModuleBitmapPath));
    EXPECT_EQ(reader.format(), QByteArray("bmp"));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_FALSE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(31, 31), QColor(255, 255, 255));
    int nearWhite = 0;
    int drawn = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QColor c = image.pixelColor(x, y);
            nearWhite += c == QColor(254, 254, 254) ? 1 : 0;
            drawn += c != QColor(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(nearWhite, 0);
    EXPECT_GT(drawn, 200); // a module, not a speck
}

TEST(Resources, ConnectingClipLoopsForEver) {
    QMovie clip(QString::fromLatin1(kConnectingAnimationPath));
    ASSERT_TRUE(clip.isValid());
    EXPECT_GT(clip.frameCount(), 1);
    EXPECT_EQ(clip.loopCount(), -1);
    EXPECT_TRUE(clip.jumpToFrame(0));
    EXPECT_FALSE(clip.currentImage().isNull());
}

} // namespace
} // namespace norva
