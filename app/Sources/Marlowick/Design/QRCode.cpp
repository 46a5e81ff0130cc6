#include "Design/QRCode.hpp"

#include <qrencode.h>

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <memory>

namespace marlowick::QRCode {
namespace {

constexpr int finderSize = 7;
constexpr int quietZone = 2;       // of the styled picture, in modules
constexpr int plainQuietZone = 4;  // the standard's own

std::optional<QRecLevel> level(std::string_view letter) {
    if (letter == "L") return QR_ECLEVEL_L;
    if (letter == "M") return QR_ECLEVEL_M;
    if (letter == "Q") return QR_ECLEVEL_Q;
    if (letter == "H") return QR_ECLEVEL_H;
    return std::nullopt;
}

bool inFinder(int row, int column, int size) {
    const bool top = row < finderSize;
    const bool left = column < finderSize;
    return (top && left) || (top && column >= size - finderSize) || (row >= size - finderSize && left);
}

}  // namespace

std::optional<Matrix> matrix(std::string_view text, std::string_view correctionLevel) {
    const auto qrLevel = level(correctionLevel);
    if (!qrLevel || text.empty()) return std::nullopt;
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(text.size()), reinterpret_cast<const unsigned char*>(text.data()), 0,
                          *qrLevel),
        &QRcode_free);
    if (!code || code->width <= 20) return std::nullopt;
    Matrix result;
    result.size = code->width;
    result.modules.resize(static_cast<std::size_t>(code->width) * static_cast<std::size_t>(code->width));
    for (std::size_t i = 0; i < result.modules.size(); ++i) result.modules[i] = (code->data[i] & 1) != 0;
    return result;
}

int logoWindow(int size, bool hasLogo) {
    if (!hasLogo) return 0;
    // ⌈size × 0.3⌉ in whole numbers, so no rounding of 0.3 can push it up by one.
    return ((3 * size + 9) / 10) | 1;
}

QImage styledImage(std::string_view text, int pixelSize, const QColor& ink, std::optional<QColor> eyeInk,
                   const QImage& logo) {
    const auto grid = matrix(text, "H");
    if (!grid || pixelSize <= 0) return {};
    const int n = grid->size;

    QImage image(pixelSize, pixelSize, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const double m = static_cast<double>(pixelSize) / (n + 2 * quietZone);
    const int window = logoWindow(n, !logo.isNull());
    const int windowStart = (n - window) / 2;
    const auto inWindow = [&](int row, int column) {
        return window > 0 && row >= windowStart && row < windowStart + window && column >= windowStart &&
               column < windowStart + window;
    };

    QPainterPath dots;
    dots.setFillRule(Qt::WindingFill);
    for (int row = 0; row < n; ++row) {
        for (int column = 0; column < n; ++column) {
            if (!grid->dark(row, column) || inFinder(row, column, n) || inWindow(row, column)) continue;
            const QRectF square(m * (column + quietZone), m * (row + quietZone), m, m);
            const QRectF inset = square.adjusted(0.06 * m, 0.06 * m, -0.06 * m, -0.06 * m);
            dots.addRoundedRect(inset, 0.38 * inset.width(), 0.38 * inset.height());
        }
    }
    painter.fillPath(dots, ink);

    const QColor eyeColor = eyeInk.value_or(ink);
    const int eyeCorners[3][2] = {{0, 0}, {n - finderSize, 0}, {0, n - finderSize}};  // column, row
    for (const auto& corner : eyeCorners) {
        const double x0 = m * (corner[0] + quietZone);
        const double y0 = m * (corner[1] + quietZone);
        QPainterPath ring;
        ring.setFillRule(Qt::OddEvenFill);
        ring.addRoundedRect(QRectF(x0, y0, 7 * m, 7 * m), 2 * m, 2 * m);
        ring.addRoundedRect(QRectF(x0 + m, y0 + m, 5 * m, 5 * m), 1.3 * m, 1.3 * m);
        painter.fillPath(ring, eyeColor);
        QPainterPath centre;
        centre.addRoundedRect(QRectF(x0 + 2 * m, y0 + 2 * m, 3 * m, 3 * m), m, m);
        painter.fillPath(centre, eyeColor);
    }

    if (window > 0) {
        const double origin = m * (windowStart + quietZone);
        const QRectF plate =
            QRectF(origin, origin, m * window, m * window).adjusted(0.3 * m, 0.3 * m, -0.3 * m, -0.3 * m);
        QPainterPath platePath;
        platePath.addRoundedRect(plate, 1.4 * m, 1.4 * m);
        painter.fillPath(platePath, Qt::white);
        const QRectF box = plate.adjusted(plate.width() * 0.07, plate.height() * 0.07, -plate.width() * 0.07,
                                          -plate.height() * 0.07);
        QRectF target = box;
        if (logo.width() > 0 && logo.height() > 0) {
            const double k = std::min(box.width() / logo.width(), box.height() / logo.height());
            const QSizeF fitted(logo.width() * k, logo.height() * k);
            target = QRectF(box.center().x() - fitted.width() / 2, box.center().y() - fitted.height() / 2,
                            fitted.width(), fitted.height());
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, logo);
    }
    painter.end();
    return image;
}

QImage plainImage(std::string_view text, double targetSize) {
    const auto grid = matrix(text, "M");
    if (!grid) return {};
    const int side = grid->size + 2 * plainQuietZone;
    QImage native(side, side, QImage::Format_Grayscale8);
    native.fill(255);
    for (int row = 0; row < grid->size; ++row) {
        uchar* line = native.scanLine(row + plainQuietZone);
        for (int column = 0; column < grid->size; ++column) {
            if (grid->dark(row, column)) line[column + plainQuietZone] = 0;
        }
    }
    const double factor = std::max(targetSize / side, 1.0);
    const int scaled = static_cast<int>(std::lround(side * factor));
    return native.scaled(scaled, scaled, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace marlowick::QRCode
