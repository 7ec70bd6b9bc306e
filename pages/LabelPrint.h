#pragma once
// The pair label on a printer: the same layout as norvactl's SVG and ZPL,
// drawn with QPainter on a 50 x 25 mm page.

#include "station/Label.h"

#include <functional>

class QPainter;
class QPrinter;
class QRectF;
class QWidget;

namespace norva {

// Draws `layout` into `target`, whose size stands for the label's millimetres.
void PaintLabel(QPainter& painter, const station::LabelLayout& layout, const QRectF& target);

// Asks where to print (a printer, or a PDF file) and prints; false when the
// user cancelled. The dialog is the platform's print dialog unless
// `choose` is set, as tests set it.
using PrinterChooser = std::function<bool(QPrinter& printer, QWidget* parent)>;
bool PrintLabel(const station::LabelLayout& layout, QWidget* parent,
                const PrinterChooser& choose = {});

} // namespace norva
