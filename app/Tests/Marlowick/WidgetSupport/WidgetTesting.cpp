#include "WidgetSupport/WidgetTesting.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <cstdlib>

#include "Design/BrandStyle.hpp"
#include "UI/ApplicationLook.hpp"

namespace marlowick::testing {

void useAppearance(const char* appearance) {
    if (appearance != nullptr) {
        setenv("MARLOWICK_APPEARANCE", appearance, 1);
    } else {
        unsetenv("MARLOWICK_APPEARANCE");
    }
    ui::refreshAppearance();
    // Open windows take the new palette on the next turn of the event loop.
    QApplication::processEvents();
}

QVBoxLayout* brandColumn(QWidget& window, BrandColor background, int margin) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, BrandStyle::color(background));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(margin, margin, margin, margin);
    return column;
}

void expectNoCutText(QWidget& root, const std::string& where) {
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(&root) && widget != &root) continue;
        const std::string name = widget->objectName().isEmpty() ? widget->metaObject()->className()
                                                                : widget->objectName().toStdString();
        if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && !label->text().isEmpty()) {
            if (label->wordWrap()) {
                EXPECT_GE(label->height() + 1, label->heightForWidth(label->width()))
                    << where << ": the lines of " << name << " are cut (" << label->text().toStdString() << ")";
            } else {
                EXPECT_GE(label->width() + 1, label->minimumSizeHint().width())
                    << where << ": " << name << " is narrower than its text (" << label->text().toStdString() << ")";
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                   button != nullptr && !button->text().isEmpty()) {
            EXPECT_GE(button->width() + 1, button->minimumSizeHint().width())
                << where << ": " << name << " is narrower than its text (" << button->text().toStdString() << ")";
        }
    }
}

std::string saveScreenshot(QWidget& window, const std::string& name) {
    const QString folder = QStringLiteral(MARLOWICK_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    window.show();
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".png");
    const QPixmap picture = window.grab();
    expectNoCutText(window, name);
    EXPECT_FALSE(picture.isNull()) << name;
    EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
    return path.toStdString();
}

}  // namespace marlowick::testing
