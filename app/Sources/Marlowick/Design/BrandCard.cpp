#include "Design/BrandCard.hpp"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

#include "Design/BrandStyle.hpp"

namespace marlowick {

BrandCard::BrandCard(double cornerRadius, QWidget* parent) : QFrame(parent), radius(cornerRadius) {
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, static_cast<int>(0.12 * 255)));
    shadow->setBlurRadius(14);
    shadow->setOffset(0, 6);
    setGraphicsEffect(shadow);
}

void BrandCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedBox(painter, rect(), radius, BrandStyle::color(BrandColor::surface));
}

void paintRoundedBox(QPainter& painter, const QRectF& rect, double cornerRadius, const QColor& fill) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, cornerRadius, cornerRadius);
    // The stroke sits inside the edge: half a pixel in, one pixel wide.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(BrandStyle::color(BrandColor::border), 1));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    painter.restore();
}

}  // namespace marlowick
