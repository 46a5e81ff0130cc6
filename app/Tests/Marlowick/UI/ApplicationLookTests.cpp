#include "UI/ApplicationLook.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "AboutWindow.hpp"
#include "Design/BrandStyle.hpp"
#include "LegalDocumentView.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

// The share of `picture`'s pixels within a small distance of `color`.
double shareNear(const QImage& picture, const QColor& color) {
    int near = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green()) +
                    std::abs(pixel.blue() - color.blue()) <= 30) {
                ++near;
            }
        }
    }
    return static_cast<double>(near) / (picture.width() * picture.height());
}

HexColor hexOf(const QColor& color) {
    return HexColor{static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                    static_cast<std::uint8_t>(color.blue()), true};
}

class ApplicationLook : public ::testing::Test {
protected:
    void TearDown() override { testing::useAppearance(nullptr); }
};

TEST_F(ApplicationLook, TheApplicationPaletteIsTheBrandsInEachAppearanceWithLinksInThePrimaryColour) {
    const auto* style = qobject_cast<const QProxyStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->baseStyle()->name(), QStringLiteral("fusion"));
    for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
        testing::useAppearance(appearance == Appearance::dark ? "dark" : "light");
        SCOPED_TRACE(appearance == Appearance::dark ? "dark" : "light");
        const QPalette palette = QApplication::palette();
        EXPECT_EQ(palette.color(QPalette::Window), BrandStyle::color(BrandColor::bg, appearance));
        EXPECT_EQ(palette.color(QPalette::Base), BrandStyle::color(BrandColor::surface, appearance));
        EXPECT_EQ(palette.color(QPalette::Text), BrandStyle::color(BrandColor::text, appearance));
        EXPECT_EQ(palette.color(QPalette::Link), BrandStyle::color(BrandColor::primary, appearance));
        EXPECT_EQ(palette.color(QPalette::LinkVisited), BrandStyle::color(BrandColor::primary, appearance));
        // Stock controls and dialogs made now take it, with nothing set on them.
        QMessageBox question(QMessageBox::Question, QStringLiteral("Question"), QStringLiteral("Sure?"),
                             QMessageBox::Yes | QMessageBox::No);
        QCheckBox box;
        QComboBox combo;
        for (QWidget* widget : std::initializer_list<QWidget*>{&question, &box, &combo}) {
            EXPECT_EQ(widget->palette().color(QPalette::Window), BrandStyle::color(BrandColor::bg, appearance));
            EXPECT_EQ(widget->palette().color(QPalette::Base), BrandStyle::color(BrandColor::surface, appearance));
        }
    }
}

TEST_F(ApplicationLook, AnOpenWindowFollowsAChangeOfAppearanceScrollBarsIncluded) {
    testing::useAppearance("light");
    QDialog window;
    auto* column = new QVBoxLayout(&window);
    auto* bar = new QScrollBar(Qt::Vertical, &window);
    bar->setRange(0, 100);
    bar->setFixedSize(16, 200);
    column->addWidget(bar);
    window.show();
    const auto lightness = [](QWidget& widget) {
        const QImage picture = widget.grab().toImage();
        double sum = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) sum += picture.pixelColor(x, y).lightness();
        }
        return sum / (picture.width() * picture.height());
    };
    EXPECT_GT(lightness(*bar), 170);

    testing::useAppearance("dark");
    EXPECT_EQ(window.palette().color(QPalette::Window), BrandStyle::color(BrandColor::bg, Appearance::dark));
    EXPECT_LT(lightness(*bar), 90);
    testing::saveScreenshot(window, "scroll-bar-dark");
}

// An unticked box is only its frame: the frame must stand out from the surface inside it
// (3:1, as for any control's boundary), where Fusion's own frame did not.
TEST_F(ApplicationLook, AnUntickedCheckBoxsFrameReadsOnItsSurfaceInEachAppearance) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        testing::useAppearance(appearance);
        QWidget window;
        auto* column = new QVBoxLayout(&window);
        auto* box = new QCheckBox(QStringLiteral("I understand this erases the drive"), &window);
        column->addWidget(box);
        window.show();

        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        const QImage picture = box->grab().toImage();
        const double scale = picture.devicePixelRatio();
        const HexColor inside = hexOf(box->palette().color(QPalette::Base));
        // Across the box at its middle: the frame is the strongest edge there.
        double strongest = 1;
        const int y = static_cast<int>(indicator.center().y() * scale);
        for (int x = static_cast<int>(indicator.left() * scale); x < static_cast<int>((indicator.right() + 1) * scale);
             ++x) {
            strongest = std::max(strongest, BrandText::contrast(hexOf(picture.pixelColor(x, y)), inside));
        }
        EXPECT_GE(strongest, 3.0);
        testing::saveScreenshot(window, std::string("check-box-") + appearance);
    }
}

TEST_F(ApplicationLook, ThePlatformsPaletteTellsTheAppearanceAndAThemeChangeIsReadAgain) {
    // The platform (stood in for by a palette set on the application) turns dark: the brand's
    // dark palette takes its place.
    QPalette platformDark = QApplication::palette();
    platformDark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    QApplication::setPalette(platformDark);
    EXPECT_EQ(BrandStyle::currentAppearance(), Appearance::dark);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), BrandStyle::color(BrandColor::bg, Appearance::dark));

    // A theme change makes the application read the platform again: offscreen, it is light.
    QWidget window;
    window.show();
    QEvent themeChange(QEvent::ThemeChange);
    QApplication::sendEvent(window.windowHandle(), &themeChange);
    QApplication::processEvents();
    EXPECT_EQ(BrandStyle::currentAppearance(), Appearance::light);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), BrandStyle::color(BrandColor::bg, Appearance::light));
}

// About and a legal document, open while the desktop turns dark: each takes the dark brand
// colours, its background and every text on it, and stays readable.
TEST_F(ApplicationLook, OpenWindowsTakeTheBrandColoursOfANewAppearance) {
    testing::useAppearance("light");
    AboutView about(AboutInfo::ofThisProgram());
    about.show();
    LegalDocumentView legal(LegalDocument::thirdPartyNotices);
    legal.resize(760, 640);
    legal.show();

    testing::useAppearance("dark");
    for (int turn = 0; turn < 3; ++turn) QApplication::processEvents();
    const std::pair<QWidget*, BrandColor> windows[] = {{&about, BrandColor::surface}, {&legal, BrandColor::bg}};
    for (const auto& [window, background] : windows) {
        SCOPED_TRACE(window->objectName().toStdString());
        const QColor dark = BrandStyle::color(background, Appearance::dark);
        const QImage picture = window->grab().toImage();
        EXPECT_EQ(picture.pixelColor(2, picture.height() - 3).rgb(), dark.rgb());
        int labels = 0;
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty()) continue;
            ++labels;
            EXPECT_GE(BrandText::contrast(hexOf(label->palette().color(QPalette::WindowText)), hexOf(dark)), 3.0)
                << label->objectName().toStdString() << ": " << label->text().left(40).toStdString();
        }
        EXPECT_GT(labels, 2);
    }
    testing::saveScreenshot(about, "about-after-turning-dark");
}

TEST_F(ApplicationLook, AboutsLinksAreDrawnInThePrimaryColourOfTheAppearance) {
    for (const char* appearance : {"light", "dark"}) {
        SCOPED_TRACE(appearance);
        testing::useAppearance(appearance);
        AboutView about(AboutInfo::ofThisProgram());
        about.show();
        auto* link = testing::findElement<QLabel>(about, QStringLiteral("about.studio"));
        ASSERT_NE(link, nullptr);
        const QImage picture = link->grab().toImage();
        EXPECT_GT(shareNear(picture, BrandStyle::color(BrandColor::primary)), 0.02);
        EXPECT_EQ(shareNear(picture, QColor(0, 0, 255)), 0.0);
        testing::saveScreenshot(about, std::string("about-") + appearance);
    }
}

}  // namespace
}  // namespace marlowick
