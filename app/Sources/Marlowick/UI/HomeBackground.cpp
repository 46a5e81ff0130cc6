#include "UI/HomeBackground.hpp"

#include <QImage>
#include <QPainter>
#include <QRadialGradient>

#include "Design/BrandStyle.hpp"
#include "UI/Accessibility.hpp"

namespace marlowick {
namespace {

constexpr double gridStep = 30;

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

// The grid, stroked in `color` and faded by a radial mask: full within 40 pixels of the
// centre, gone beyond 460.
QImage gridLayer(QSize size, const QColor& color, double devicePixelRatio) {
    QImage layer(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(devicePixelRatio);
    layer.fill(Qt::transparent);
    QPainter painter(&layer);
    painter.setPen(QPen(color, 1));
    for (double x : HomeBackground::gridLines(size.width(), gridStep)) painter.drawLine(QPointF(x, 0), QPointF(x, size.height()));
    for (double y : HomeBackground::gridLines(size.height(), gridStep)) painter.drawLine(QPointF(0, y), QPointF(size.width(), y));
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    QRadialGradient mask(centre, 460, centre, 40);
    mask.setColorAt(0.0, QColor(0, 0, 0, 255));
    mask.setColorAt(0.5, withOpacity(Qt::black, 0.35));
    mask.setColorAt(1.0, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.fillRect(QRectF(QPointF(0, 0), size), mask);
    return layer;
}

}  // namespace

HomeBackground::HomeBackground(QColor accent, QWidget* parent) : QWidget(parent), accentColor(accent) {
    ui::hideFromAccessibility(*this);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void HomeBackground::setAccent(QColor accent) {
    if (accent == accentColor) return;
    accentColor = accent;
    update();
}

std::vector<double> HomeBackground::gridLines(double length, double step) {
    std::vector<double> lines;
    if (!(step > 0)) return lines;
    for (double at = step; at < length; at += step) lines.push_back(at);
    return lines;
}

void HomeBackground::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = rect();
    painter.fillRect(area, BrandStyle::color(BrandColor::bg));

    QRadialGradient top(QPointF(area.width() * 0.5, area.height() * 0.14), 580);
    top.setColorAt(0.0, withOpacity(accentColor, 0.42));
    top.setColorAt(0.5, withOpacity(accentColor, 0.14));
    top.setColorAt(1.0, Qt::transparent);
    painter.fillRect(area, top);

    painter.setOpacity(0.22);
    painter.drawImage(QPointF(0, 0), gridLayer(size(), withOpacity(accentColor, 0.6), devicePixelRatioF()));
    painter.setOpacity(1.0);

    QRadialGradient corner(QPointF(area.width() * 0.88, area.height() * 0.96), 440);
    corner.setColorAt(0.0, withOpacity(accentColor, 0.24));
    corner.setColorAt(1.0, Qt::transparent);
    painter.fillRect(area, corner);
}

}  // namespace marlowick
