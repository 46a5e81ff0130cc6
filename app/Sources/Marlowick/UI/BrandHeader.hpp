#pragma once
// The brand header: the brand mark in the accent colour beside the two-colour wordmark
// ("Marlo" in the heading colour, "wick" in the accent colour, heavier). Decoration only:
// it is hidden from accessibility, the window title and texts carry the meaning.

#include <QWidget>

namespace marlowick {

class BrandHeader : public QWidget {
    Q_OBJECT
public:
    // `markSize`: the mark's width and height in logical pixels.
    explicit BrandHeader(int markSize, QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int markSize;
};

// The brand mark as a template image tinted with `color`, `pixels` on its longer side;
// null when the mark cannot be loaded.
[[nodiscard]] QImage brandMarkImage(int pixels, const QColor& color);

}  // namespace marlowick
