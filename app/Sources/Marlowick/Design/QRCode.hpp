#pragma once
// QR code pictures of a text (a link). The symbol comes from libqrencode (byte mode, the
// text's UTF-8 bytes); this file only draws it: styled, with rounded modules, rounded
// finder eyes in an optional second colour, a quiet zone two modules wide and an optional
// logo on a white plate in the middle; or plain, the symbol's square modules with the
// standard four-module quiet zone, scaled up. Every failure is an empty result.

#include <optional>
#include <string_view>
#include <vector>

#include <QColor>
#include <QImage>

namespace marlowick::QRCode {

struct Matrix {
    int size = 0;                // modules per side, at least 21
    std::vector<bool> modules;   // size × size, row-major, top row first; true is dark
    [[nodiscard]] bool dark(int row, int column) const {
        return modules[static_cast<std::size_t>(row) * static_cast<std::size_t>(size) + static_cast<std::size_t>(column)];
    }
};

// `correctionLevel` is "L", "M", "Q" or "H". None when the text does not fit a symbol at
// that level or the level is not one of the four.
[[nodiscard]] std::optional<Matrix> matrix(std::string_view text, std::string_view correctionLevel);

// The side of the logo window in modules for a symbol of `size` modules: 30 % of the side
// rounded up and made odd; 0 without a logo.
[[nodiscard]] int logoWindow(int size, bool hasLogo);

// A `pixelSize` × `pixelSize` picture at level "H"; null when the size is not positive or
// the text does not fit. `eyeInk` defaults to `ink`.
[[nodiscard]] QImage styledImage(std::string_view text, int pixelSize, const QColor& ink,
                                 std::optional<QColor> eyeInk = std::nullopt, const QImage& logo = {});

// The level "M" symbol with its quiet zone, one pixel per module, scaled by
// max(targetSize ÷ its side, 1) without smoothing; null when the text does not fit.
[[nodiscard]] QImage plainImage(std::string_view text, double targetSize);

}  // namespace marlowick::QRCode
