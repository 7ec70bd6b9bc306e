#include "pages/ComboValues.h"

#include <QComboBox>
#include <cstdint>

namespace norva {

int AddComboItem(QComboBox* box, const QString& text) {
    int pos = box->count();
    if (box->insertPolicy() == QComboBox::InsertAlphabetically) {
        // Ordinal order, as a sorted list box keeps it: "COM10" before "COM2".
        pos = 0;
        while (pos < box->count() && box->itemText(pos).compare(text, Qt::CaseInsensitive) <= 0) {
            ++pos;
        }
    }
    box->insertItem(pos, text);
    return pos;
}

void FillValueCombo(QComboBox* box, const char* const texts[], const int values[], int count,
                    int current) {
    const auto n = static_cast<uint16_t>(count);
    bool matched = false;
    for (uint16_t i = 0; i < n; ++i) {
        const QString text = QString::fromLatin1(texts[i]);
        const int pos = AddComboItem(box, text);
        box->setItemData(pos, values[i]);
        if (values[i] == current) {
            box->setCurrentIndex(pos);
            matched = true;
        }
    }
    // Qt selects the first item added; an unknown value must show no choice,
    // or it would silently turn into the first entry's value.
    if (!matched) {
        box->setCurrentIndex(-1);
    }
}

int GetComboValue(const QComboBox* box, const char* const texts[], const int values[], int count) {
    if (box->currentIndex() < 0) {
        return 0;
    }
    return ValueOfText(texts, values, static_cast<uint16_t>(count),
                       box->currentText().toStdString());
}

} // namespace norva
