#pragma once
// The card look of the home screen's panels: the surface colour in a rounded rectangle,
// a 1-pixel border inside its edge, and a soft shadow below. Put content in its layout.

#include <QFrame>

namespace marlowick {

class BrandCard : public QFrame {
    Q_OBJECT
public:
    BrandCard(double cornerRadius, QWidget* parent = nullptr);
    [[nodiscard]] double cornerRadius() const { return radius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius;
};

// A rounded box in `fill` with a 1-pixel `BrandColor::border` line inside its edge: the
// recessed boxes and the drive cards. Painted by `painter` into `rect`.
void paintRoundedBox(class QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& fill);

}  // namespace marlowick
