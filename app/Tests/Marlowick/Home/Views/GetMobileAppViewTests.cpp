#include "Home/Views/GetMobileAppView.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cstdlib>

#include "Design/BrandStyle.hpp"
#include "Design/StudioLinks.hpp"
#include "Home/HomeAccessibility.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

using testing::findElement;

// What Debian's zbarimg reads from a picture, or why it could not.
std::string decoded(const QImage& picture) {
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty()) return "<zbarimg missing: install zbar-tools>";
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("code.png"));
    if (!picture.save(path, "PNG")) return "<could not save the picture>";
    QProcess process;
    process.start(zbarimg, {QStringLiteral("--quiet"), QStringLiteral("--raw"), path});
    if (!process.waitForFinished(60000)) return "<zbarimg did not finish>";
    if (process.exitCode() != 0) return "<zbarimg exit " + std::to_string(process.exitCode()) + ">";
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed().toStdString();
}

// Records the addresses the panel asks the desktop to open, instead of a browser.
class OpenedLinks : public QObject {
    Q_OBJECT
public:
    OpenedLinks() {
        for (const char* scheme : {"https", "http"}) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        }
    }
    ~OpenedLinks() override {
        for (const char* scheme : {"https", "http"}) QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST(GetMobileAppView, TheCodeOnScreenDecodesToThePhoneAppAddress) {
    GetMobileAppView panel(true);
    panel.show();
    QApplication::processEvents();
    auto* code = findElement<QRCodeLinkButton>(panel, QStringLiteral("home.done.getApp.qr"));
    ASSERT_NE(code, nullptr);
    ASSERT_FALSE(code->code().isNull());
    // The styled picture, with the brand mark in the middle, as the panel draws it.
    EXPECT_EQ(code->code().width(), 444);
    const QImage shown = code->grab(code->plateRect()).toImage();
    EXPECT_EQ(shown.width(), GetMobileAppView::codeSide + 20);
    EXPECT_EQ(decoded(shown), StudioLinks::getMobileApp().toString().toStdString());
}

TEST(GetMobileAppView, WithoutTheMarkOrTheStyledPictureTheCodeStillReads) {
    const std::string address = StudioLinks::getMobileApp().toString().toStdString();
    const QImage withoutMark = GetMobileAppView::qrImage(address, {});
    ASSERT_FALSE(withoutMark.isNull());
    EXPECT_EQ(decoded(withoutMark), address);
    // Too long for the styled level-H symbol, short enough for the plain level-M one.
    const std::string longText(2000, 'A');
    const QImage plain = GetMobileAppView::qrImage(longText, {});
    ASSERT_FALSE(plain.isNull());
    EXPECT_GE(plain.width(), 296);
    EXPECT_EQ(decoded(plain), longText);
    // Neither fits: no picture, and the button shows the symbol on its white plate.
    EXPECT_TRUE(GetMobileAppView::qrImage(std::string(8000, 'A'), {}).isNull());
    QRCodeLinkButton placeholder{QImage()};
    placeholder.resize(placeholder.sizeHint());
    const QImage plate = placeholder.grab().toImage();
    EXPECT_EQ(plate.pixelColor(plate.width() / 2, 12), QColor(Qt::white));
}

TEST(GetMobileAppView, TextsFollowTheFlagAndBothLinksOpenTheSameAddress) {
    for (const bool continueOnPhone : {true, false}) {
        SCOPED_TRACE(continueOnPhone);
        OpenedLinks links;
        GetMobileAppView panel(continueOnPhone);
        panel.show();
        EXPECT_EQ(panel.objectName(), QStringLiteral("home.done.getApp"));
        EXPECT_EQ(panel.width(), GetMobileAppView::panelWidth);
        EXPECT_EQ(findElement<QLabel>(panel, QStringLiteral("home.done.getApp.title"))->text().toStdString(),
                  GetMobileAppView::title(continueOnPhone));
        EXPECT_EQ(findElement<QLabel>(panel, QStringLiteral("home.done.getApp.body"))->text().toStdString(),
                  GetMobileAppView::body(continueOnPhone));
        const std::string first = continueOnPhone ? "Next, continue on your phone. Your drive is ready: scan the QR "
                                                    "code, or open the link below, to get Marlowick for iPhone or "
                                                    "Android."
                                                  : "Marlowick for your phone, for iPhone and Android, on the App "
                                                    "Store and Google Play. Scan the QR code, or open the link below.";
        EXPECT_EQ(panel.accessibleName().toStdString(), first + " " + HomeAccessibility::getMobileAppFeaturesLabel());

        auto* link = findElement<QPushButton>(panel, QStringLiteral("home.done.getApp.link"));
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->text(), QStringLiteral("quenmoorlabworks.com/get/marlowick"));
        EXPECT_EQ(link->accessibleDescription(),
                  QStringLiteral("Opens the Marlowick for iPhone and Android download page in your browser."));
        auto* code = findElement<QRCodeLinkButton>(panel, QStringLiteral("home.done.getApp.qr"));
        EXPECT_EQ(code->toolTip(), link->accessibleDescription());
        QTest::mouseClick(code, Qt::LeftButton);
        link->setFocus(Qt::TabFocusReason);
        QTest::keyClick(link, Qt::Key_Space);
        EXPECT_EQ(links.opened, (QList<QUrl>{StudioLinks::getMobileApp(), StudioLinks::getMobileApp()}));
        for (const auto& feature : HomeAccessibility::getMobileAppFeatures) {
            EXPECT_NE(panel.findChild<QWidget*>(QString::fromUtf8("home.done.getApp.feature.") +
                                                QString::fromUtf8(feature.title.data(),
                                                                  static_cast<qsizetype>(feature.title.size()))),
                      nullptr);
        }
    }
}

TEST(GetMobileAppView, ScreenshotsInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        for (const bool continueOnPhone : {true, false}) {
            QWidget window;
            auto* column = testing::brandColumn(window, BrandColor::bg, 0);
            column->addWidget(new GetMobileAppView(continueOnPhone), 1, Qt::AlignRight);
            window.resize(400, 640);
            testing::saveScreenshot(window, std::string("phone-app-") + (continueOnPhone ? "next-" : "") + appearance);
        }
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick

#include "GetMobileAppViewTests.moc"
