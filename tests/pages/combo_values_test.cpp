#include "pages/ComboValues.h"

#include <QComboBox>
#include <gtest/gtest.h>

using namespace norva;

TEST(ValueLists, SelectTheStoredValueAndReadItBack) {
    QComboBox parity;
    FillValueCombo(&parity, kParityTexts, kParityValues, kParityCount, 1);
    EXPECT_EQ(parity.currentText(), "Odd");
    EXPECT_EQ(GetComboValue(&parity, kParityTexts, kParityValues, kParityCount), 1);
    parity.setCurrentIndex(parity.findText("Even"));
    EXPECT_EQ(GetComboValue(&parity, kParityTexts, kParityValues, kParityCount), 2);
}

TEST(ValueLists, AnUnknownStoredValueSelectsNothingAndReadsAsZero) {
    QComboBox baud;
    FillValueCombo(&baud, kBaudTexts, kBaudValues, kBaudCount, 12345);
    EXPECT_EQ(baud.count(), kBaudCount);
    EXPECT_EQ(baud.currentIndex(), -1);
    EXPECT_EQ(GetComboValue(&baud, kBaudTexts, kBaudValues, kBaudCount), 0);
}

TEST(ValueLists, ASortedBoxKeepsOrdinalOrderAndItemData) {
    QComboBox ports;
    ports.setEditable(true);
    ports.setInsertPolicy(QComboBox::InsertAlphabetically);
    for (const char* name : {"COM1", "COM2", "COM10"}) {
        const int pos = AddComboItem(&ports, QString::fromLatin1(name));
        ports.setItemData(pos, QString::fromLatin1(name).mid(3).toInt());
    }
    ASSERT_EQ(ports.count(), 3);
    EXPECT_EQ(ports.itemText(0), "COM1");
    EXPECT_EQ(ports.itemText(1), "COM10");
    EXPECT_EQ(ports.itemText(2), "COM2");
    EXPECT_EQ(ports.itemData(1).toInt(), 10);
}
