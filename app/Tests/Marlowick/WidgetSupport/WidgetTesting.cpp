#include "WidgetSupport/WidgetTesting.hpp"

#include <QApplication>
#include <QDir>
#include <QPixmap>

namespace marlowick::testing {

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
