#pragma once
// A picture whose pure white (255,255,255) pixels let the page show through.

#include <QLabel>

namespace norva {

class CTransparentStatic : public QLabel {
    Q_OBJECT
public:
    explicit CTransparentStatic(QWidget* parent = nullptr);
    ~CTransparentStatic() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace norva
