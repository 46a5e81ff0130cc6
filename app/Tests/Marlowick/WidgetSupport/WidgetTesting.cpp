#include "WidgetSupport/WidgetTesting.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cstdlib>

#include "Design/BrandStyle.hpp"
#include "Home/Views/ViewElements.hpp"
#include "UI/ApplicationLook.hpp"
#include "UI/Popover.hpp"
#include "UI/Sheet.hpp"

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

void expectNoEmptySymbol(QWidget& root, const std::string& where) {
    for (QLabel* label : root.findChildren<QLabel*>()) {
        const QVariant symbol = label->property(views::symbolProperty);
        if (!symbol.isValid() || !label->isVisibleTo(&root)) continue;
        EXPECT_FALSE(label->pixmap().isNull()) << where << ": the symbol " << symbol.toString().toStdString()
                                               << " shows as an empty slot";
    }
}

namespace {

std::string nameOf(const QWidget& widget) {
    return widget.objectName().isEmpty() ? widget.metaObject()->className() : widget.objectName().toStdString();
}

// Where `widget` shows inside `window`: its rectangle, cut by every widget around it.
QRect shownRect(const QWidget& window, const QWidget& widget) {
    QRect shown(widget.mapTo(&window, QPoint(0, 0)), widget.size());
    for (const QWidget* up = widget.parentWidget(); up != nullptr && up != &window; up = up->parentWidget()) {
        shown &= QRect(up->mapTo(&window, QPoint(0, 0)), up->size());
    }
    return shown;
}

void expectClearOfHeader(QWidget& window, const std::string& where) {
    const QWidget* header = window.findChild<QWidget*>(QStringLiteral("home.brandHeader"));
    if (header == nullptr || !header->isVisibleTo(&window)) return;
    const QRect headerRect = shownRect(window, *header);
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->window() != &window || !widget->isVisibleTo(&window)) continue;
        if (widget == header || header->isAncestorOf(widget) || widget->isAncestorOf(header)) continue;
        if (widget->objectName() == QStringLiteral("home.backdrop")) continue;
        const QRect shown = shownRect(window, *widget);
        EXPECT_FALSE(shown.intersects(headerRect))
            << where << ": " << nameOf(*widget) << " shows under the brand header (at " << shown.x() << ","
            << shown.y() << " " << shown.width() << "x" << shown.height() << ")";
    }
}

void expectPopoversWhole(const std::string& where) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* popover = qobject_cast<ui::Popover*>(top);
        if (popover == nullptr || !popover->isVisible()) continue;
        const std::string place = where + ", popover " + nameOf(*popover);
        if (const QScreen* screen = popover->screen()) {
            EXPECT_TRUE(screen->availableGeometry().contains(popover->frameGeometry())) << place << " leaves the screen";
        }
        for (QLabel* label : popover->findChildren<QLabel*>()) {
            const QRect placed(label->mapTo(popover, QPoint(0, 0)), label->size());
            EXPECT_TRUE(popover->contentsRect().contains(placed))
                << place << ": " << nameOf(*label) << " leaves its box";
        }
        expectNoCutText(*popover, place);
    }
}

void expectDialogsInside(QWidget& window, const std::string& where) {
    const QRect frame = window.frameGeometry();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        if (dialog == nullptr || !dialog->isVisible() || dialog->parentWidget() == nullptr ||
            dialog->parentWidget()->window() != &window) {
            continue;
        }
        const std::string place = where + ", " + nameOf(*dialog);
        EXPECT_TRUE(frame.contains(dialog->frameGeometry())) << place << " is not inside its window";
        const auto* sheet = qobject_cast<ui::Sheet*>(dialog);
        if (sheet == nullptr) continue;
        if (sheet->footer() == nullptr) {
            ADD_FAILURE() << place << " has no footer: its buttons scroll away with its body";
            continue;
        }
        const QWidget& footer = *sheet->footer();
        EXPECT_TRUE(footer.isVisible()) << place << ": the footer is hidden";
        EXPECT_FALSE(sheet->bodyArea()->isAncestorOf(&footer)) << place << ": the footer scrolls with the body";
        EXPECT_GE(footer.height(), footer.minimumSizeHint().height()) << place << ": the footer is squeezed";
        for (const QWidget* part : footer.findChildren<QWidget*>()) {
            if (!part->isVisibleTo(sheet)) continue;
            const QRect placed(part->mapTo(sheet, QPoint(0, 0)), part->size());
            EXPECT_TRUE(sheet->rect().contains(placed)) << place << ": " << nameOf(*part) << " is out of view";
        }
        expectNoCutText(*dialog, place);
    }
}

}  // namespace

void expectSoundLayout(QWidget& window, const std::string& where) {
    QApplication::processEvents();
    expectClearOfHeader(window, where);
    expectPopoversWhole(where);
    expectDialogsInside(window, where);
}

std::string saveScreenshot(QWidget& window, const std::string& name) {
    const QString folder = QStringLiteral(MARLOWICK_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    window.show();
    QApplication::processEvents();
    const QString scale = window.devicePixelRatioF() > 1.5 ? QStringLiteral("@2x") : QString();
    const QString path = folder + QLatin1Char('/') + QString::fromStdString(name) + scale + QStringLiteral(".png");
    const QPixmap picture = window.grab();
    expectNoCutText(window, name);
    expectNoEmptySymbol(window, name);
    EXPECT_FALSE(picture.isNull()) << name;
    EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
    return path.toStdString();
}

}  // namespace marlowick::testing
