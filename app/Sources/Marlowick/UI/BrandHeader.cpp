#include "UI/BrandHeader.hpp"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "Design/BrandStyle.hpp"
#include "UI/Accessibility.hpp"

namespace marlowick {
namespace {

constexpr int spacing = 14;
constexpr double tracking = 0.5;

QFont firstRunFont() {
    QFont value = BrandStyle::font(BrandFont::wordmarkLarge);
    value.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return value;
}

QFont secondRunFont() {
    QFont value = firstRunFont();
    value.setWeight(QFont::Black);
    return value;
}

const QString firstRun = QStringLiteral("Marlo");
const QString secondRun = QStringLiteral("wick");

}  // namespace

QImage brandMarkImage(int pixels, const QColor& color) {
    QSvgRenderer renderer(QStringLiteral(":/Marlowick/ZodazMark.svg"));
    if (!renderer.isValid() || pixels <= 0) return {};
    QSizeF size = renderer.defaultSize();
    if (size.width() <= 0 || size.height() <= 0) return {};
    size.scale(pixels, pixels, Qt::KeepAspectRatio);
    QImage image(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    // The mark is a template: only its shape counts, the colour is the caller's.
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(image.rect(), color);
    return image;
}

BrandHeader::BrandHeader(int size, QWidget* parent) : QWidget(parent), markSize(size) {
    ui::hideFromAccessibility(*this);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize BrandHeader::sizeHint() const {
    const QFontMetricsF first(firstRunFont());
    const QFontMetricsF second(secondRunFont());
    const double wordmarkWidth = first.horizontalAdvance(firstRun) + second.horizontalAdvance(secondRun);
    const double height = std::max<double>(markSize, std::max(first.height(), second.height()));
    return {markSize + spacing + static_cast<int>(std::ceil(wordmarkWidth)) + 2, static_cast<int>(std::ceil(height))};
}

void BrandHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QImage mark = brandMarkImage(markSize * static_cast<int>(std::ceil(devicePixelRatioF())),
                                       BrandStyle::color(BrandColor::accent));
    if (!mark.isNull()) {
        const QRectF box(0, (height() - markSize) / 2.0, markSize, markSize);
        QSizeF drawn = QSizeF(mark.size());
        drawn.scale(box.size(), Qt::KeepAspectRatio);
        const QRectF target(box.center().x() - drawn.width() / 2, box.center().y() - drawn.height() / 2,
                            drawn.width(), drawn.height());
        // A dark shadow below and a faint light edge above lift the mark off the page.
        painter.setOpacity(0.35);
        painter.drawImage(target.translated(0, 1.5), brandMarkImage(mark.width(), Qt::black));
        painter.setOpacity(0.22);
        painter.drawImage(target.translated(0, -0.5), brandMarkImage(mark.width(), Qt::white));
        painter.setOpacity(1.0);
        painter.drawImage(target, mark);
    }

    const QFont first = firstRunFont();
    const QFont second = secondRunFont();
    const QFontMetricsF metrics(first);
    const double baseline = (height() + metrics.ascent() - metrics.descent()) / 2.0;
    double x = markSize + spacing;
    painter.setFont(first);
    painter.setPen(BrandStyle::color(BrandColor::textHeading));
    painter.drawText(QPointF(x, baseline), firstRun);
    x += metrics.horizontalAdvance(firstRun);
    painter.setFont(second);
    painter.setPen(BrandStyle::color(BrandColor::accent));
    painter.drawText(QPointF(x, baseline), secondRun);
}

}  // namespace marlowick
