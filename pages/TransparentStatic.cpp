#include "pages/TransparentStatic.h"

#include <QBitmap>
#include <QPainter>
#include <QPixmap>

namespace norva {

CTransparentStatic::CTransparentStatic(QWidget* parent) : QLabel(parent) {
    // The page's own background must be what shows through the white parts.
    setAutoFillBackground(false);
}

CTransparentStatic::~CTransparentStatic() = default;

void CTransparentStatic::paintEvent(QPaintEvent* event) {
    const QPixmap bitmap = pixmap();
    if (bitmap.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    // Only exact white is keyed out: the near-white highlights of the picture stay.
    QPixmap keyed = bitmap;
    keyed.setMask(bitmap.createMaskFromColor(QColor(255, 255, 255), Qt::MaskInColor));
    // Drawn unscaled from the top left; the widget's rectangle clips it.
    QPainter painter(this);
    painter.drawPixmap(0, 0, keyed);
}

} // namespace norva
