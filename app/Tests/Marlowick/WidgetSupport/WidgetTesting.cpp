#include "WidgetSupport/WidgetTesting.hpp"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"

namespace marlowick::testing {

QVBoxLayout* brandColumn(QWidget& window, BrandColor background, int margin) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, BrandStyle::color(background));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(margin, margin, margin, margin);
    return column;
}

std::string saveScreenshot(QWidget& window, const std::string& name) {
    const QString folder = QStringLiteral(MARLOWICK_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    window.show();
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".png");
    const QPixmap picture = window.grab();
    EXPECT_FALSE(picture.isNull()) << name;
    EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
    return path.toStdString();
}

}  // namespace marlowick::testing
