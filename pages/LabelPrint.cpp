#include "pages/LabelPrint.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRectF>

#include <algorithm>

namespace norva {

void PaintLabel(QPainter& painter, const station::LabelLayout& layout, const QRectF& target) {
    painter.save();
    painter.translate(target.topLeft());
    // From here on one unit is one millimetre.
    painter.scale(target.width() / layout.width, target.height() / layout.height);
    painter.fillRect(QRectF(0, 0, layout.width, layout.height), Qt::white);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int y = 0; y < layout.qr.size; ++y) {
        for (int x = 0; x < layout.qr.size; ++x) {
            if (layout.qr.Dark(x, y)) {
                painter.drawRect(QRectF(layout.qrX + x * layout.module,
                                        layout.qrY + y * layout.module, layout.module,
                                        layout.module));
            }
        }
    }
    painter.restore();
    // Text in the device's own pixels, so that fonts are hinted for it.
    const double perMm = target.width() / layout.width;
    painter.save();
    painter.setPen(Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const station::LabelText& t : layout.texts) {
        QFont font(t.mono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
        font.setStyleHint(t.mono ? QFont::Monospace : QFont::SansSerif);
        font.setPixelSize(std::max(1, static_cast<int>(t.size * perMm + 0.5)));
        font.setBold(t.bold);
        // No ligatures: "flow" must read as four letters in a PDF too.
        font.setStyleStrategy(QFont::PreferNoShaping);
        painter.setFont(font);
        painter.drawText(QPointF(target.left() + t.x * perMm, target.top() + t.baseline * perMm),
                         QString::fromStdString(t.text));
    }
    painter.restore();
}

bool PrintLabel(const station::LabelLayout& layout, QWidget* parent, const PrinterChooser& choose) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(
        QPageLayout(QPageSize(QSizeF(layout.width, layout.height), QPageSize::Millimeter, QString(),
                              QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("Norva pair label"));
    const bool chosen = choose ? choose(printer, parent) : [&] {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!chosen) {
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    PaintLabel(painter, layout, printer.pageLayout().fullRectPixels(printer.resolution()));
    painter.end();
    return true;
}

} // namespace norva
