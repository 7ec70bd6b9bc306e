#include "pages/LabelPrint.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRectF>

#include <algorithm>
#include <cmath>

namespace norva {
namespace {

QFont LabelFont(const station::LabelText& t, int pixels) {
    QFont font(t.mono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    font.setStyleHint(t.mono ? QFont::Monospace : QFont::SansSerif);
    font.setPixelSize(std::max(1, pixels));
    font.setBold(t.bold);
    // No ligatures: "flow" must read as four letters in a PDF too.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

} // namespace

QPageLayout LabelPage(const station::LabelLayout& layout) {
    // Page sizes are named upright; a label wider than tall lies on its side.
    const bool wide = layout.width > layout.height;
    return QPageLayout(QPageSize(QSizeF(std::min(layout.width, layout.height),
                                        std::max(layout.width, layout.height)),
                                 QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
                       wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

void PaintLabel(QPainter& painter, const station::LabelLayout& layout, const QRectF& target) {
    // One scale both ways, so that the QR code stays square.
    const double perMm = std::min(target.width() / layout.width, target.height() / layout.height);
    painter.save();
    painter.translate(target.topLeft());
    // From here on one unit is one millimetre.
    painter.scale(perMm, perMm);
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
    painter.save();
    painter.setPen(Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const station::LabelText& t : layout.texts) {
        const station::FittedText fit = station::FitText(
            t.text, std::round(t.size * perMm), std::round(t.minSize * perMm), t.room * perMm,
            [&](const std::string& text, double pixels) {
                return QFontMetricsF(LabelFont(t, static_cast<int>(pixels)), painter.device())
                    .horizontalAdvance(QString::fromStdString(text));
            },
            1, "\u2026");
        painter.setFont(LabelFont(t, static_cast<int>(fit.size)));
        painter.drawText(QPointF(target.left() + t.x * perMm, target.top() + t.baseline * perMm),
                         QString::fromStdString(fit.text));
    }
    painter.restore();
}

bool PrintLabel(const station::LabelLayout& layout, QWidget* parent, const PrinterChooser& choose) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(LabelPage(layout));
    printer.setFullPage(true);
    // The print dialog proposes <document name>.pdf for a file: one per pair.
    printer.setDocName(QString::fromStdString(layout.fileStem));
    const bool chosen = choose ? choose(printer, parent) : [&] {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!chosen) {
        return false;
    }
    // The dialog gives a file the page size of its default printer (Letter or
    // A4); a printer keeps the stock its driver has loaded.
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        printer.setPageLayout(LabelPage(layout));
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    // At its true size, from the corner of what the printer can print.
    const double perMm = printer.resolution() / 25.4;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    PaintLabel(painter, layout,
               QRectF(page.topLeft(), QSizeF(layout.width * perMm, layout.height * perMm)));
    painter.end();
    return true;
}

} // namespace norva
