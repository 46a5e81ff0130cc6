#pragma once
// The home window's decorative backdrop: the brand background, two soft glows in the
// accent colour the home view chooses (near the top, and at the bottom right), and a faint
// square grid that fades out away from the centre. Decoration only: hidden from
// accessibility and transparent to the mouse.

#include <vector>

#include <QColor>
#include <QWidget>

namespace marlowick {

class HomeBackground : public QWidget {
    Q_OBJECT
public:
    explicit HomeBackground(QColor accent, QWidget* parent = nullptr);

    void setAccent(QColor accent);
    [[nodiscard]] QColor accent() const { return accentColor; }

    // Where the grid's lines fall across `length`: step, 2·step, … below `length`; none at
    // 0 or at the far edge. Empty for a step that is not positive.
    [[nodiscard]] static std::vector<double> gridLines(double length, double step);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor accentColor;
};

}  // namespace marlowick
