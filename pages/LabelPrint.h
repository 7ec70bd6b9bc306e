#pragma once
// The pair label on a printer: the same layout as norvactl's SVG and ZPL,
// drawn with QPainter on a 50 x 25 mm page.

#include "station/Label.h"

#include <functional>

class QPageLayout;
class QPainter;
class QPrinter;
class QRectF;
class QWidget;

namespace norva {

// A page of the label's size without margins (landscape for a label wider
// than tall), for a printer or a PDF file.
QPageLayout LabelPage(const station::LabelLayout& layout);

// Draws `layout` into the top left of `target`, at the largest scale at which
// it fits, the same both ways.
void PaintLabel(QPainter& painter, const station::LabelLayout& layout, const QRectF& target);

// Asks where to print (a printer, or a PDF file, by default named after the
// pair's addresses) and prints the label at its true size; false when the
// user cancelled. The dialog is the platform's print dialog unless
// `choose` is set, as tests set it.
using PrinterChooser = std::function<bool(QPrinter& printer, QWidget* parent)>;
bool PrintLabel(const station::LabelLayout& layout, QWidget* parent,
                const PrinterChooser& choose = {});

} // namespace norva
