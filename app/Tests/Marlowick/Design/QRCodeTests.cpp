#include "Design/QRCode.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include "Design/StudioLinks.hpp"
#include "UI/BrandHeader.hpp"

namespace marlowick {
namespace {

// What Debian's zbarimg reads from the picture, or the reason it could not.
std::string decoded(const QImage& image, const std::string& name) {
    const QString folder = QStringLiteral(MARLOWICK_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/qr-") + QString::fromStdString(name) + QStringLiteral(".png");
    if (!image.save(path, "PNG")) return "<not saved>";
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty()) return "<zbarimg missing: install zbar-tools>";
    QProcess process;
    process.start(zbarimg, {QStringLiteral("--quiet"), QStringLiteral("--raw"), path});
    if (!process.waitForFinished(60000)) return "<zbarimg did not finish>";
    std::string text = process.readAllStandardOutput().toStdString();
    if (process.exitCode() != 0) return "<zbarimg exit " + std::to_string(process.exitCode()) + ">";
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

const std::string link = StudioLinks::getMobileApp().toString().toStdString();
const QColor ink(0x13, 0x1B, 0x27);
const QColor eye(0x00, 0x6A, 0xC5);

TEST(QRCode, TheStyledPictureDecodesToTheLinkWithAndWithoutTheLogo) {
    const QImage logo = brandMarkImage(111, QColor(0xDA, 0x8A, 0x11));
    ASSERT_FALSE(logo.isNull());
    const QImage withLogo = QRCode::styledImage(link, 444, ink, eye, logo);
    ASSERT_EQ(withLogo.size(), QSize(444, 444));
    EXPECT_EQ(decoded(withLogo, "styled-444-logo"), link);
    const QImage plainInk = QRCode::styledImage(link, 444, ink);
    EXPECT_EQ(decoded(plainInk, "styled-444"), link);
    // The views show the 444-pixel picture at 148 points; a screen at scale 1 sees this.
    EXPECT_EQ(decoded(withLogo.scaled(148, 148, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "styled-148-logo"),
              link);
}

TEST(QRCode, ThePlainPictureDecodesAndIsNeverSmallerThanItsNativeSize) {
    const auto grid = QRCode::matrix(link, "M");
    ASSERT_TRUE(grid.has_value());
    const int native = grid->size + 8;
    const QImage atTarget = QRCode::plainImage(link, 296);
    EXPECT_EQ(atTarget.width(), 296);
    EXPECT_EQ(decoded(atTarget, "plain-296"), link);
    const QImage small = QRCode::plainImage(link, 10);
    EXPECT_EQ(small.size(), QSize(native, native));
    EXPECT_EQ(decoded(small.scaled(native * 4, native * 4), "plain-native"), link);
}

TEST(QRCode, TheMatrixIsTheSymbolWithoutMarginAndItsFinderPatterns) {
    const auto grid = QRCode::matrix("MARLO", "H");  // 5 bytes: the smallest symbol holds 7 at level H
    ASSERT_TRUE(grid.has_value());
    EXPECT_EQ(grid->size, 21);
    ASSERT_EQ(grid->modules.size(), 21u * 21u);
    // Each finder: a dark 7×7 ring, a light ring inside it, a dark 3×3 centre.
    for (const auto& [top, left] : {std::pair{0, 0}, std::pair{0, 14}, std::pair{14, 0}}) {
        for (int r = 0; r < 7; ++r) {
            for (int c = 0; c < 7; ++c) {
                const bool ring = r == 0 || r == 6 || c == 0 || c == 6;
                const bool centre = r >= 2 && r <= 4 && c >= 2 && c <= 4;
                EXPECT_EQ(grid->dark(top + r, left + c), ring || centre) << top + r << "," << left + c;
            }
        }
    }
}

TEST(QRCode, NothingComesOfWhatCannotBeASymbol) {
    EXPECT_FALSE(QRCode::matrix(link, "X").has_value());
    EXPECT_FALSE(QRCode::matrix("", "H").has_value());
    const std::string tooLong(4000, 'x');  // beyond the largest symbol at level H
    EXPECT_FALSE(QRCode::matrix(tooLong, "H").has_value());
    EXPECT_TRUE(QRCode::styledImage(tooLong, 444, ink).isNull());
    EXPECT_TRUE(QRCode::styledImage(link, 0, ink).isNull());
    EXPECT_TRUE(QRCode::styledImage(link, -5, ink).isNull());
}

TEST(QRCode, TheLogoWindowIsThirtyPercentMadeOdd) {
    EXPECT_EQ(QRCode::logoWindow(21, true), 7);
    EXPECT_EQ(QRCode::logoWindow(25, true), 9);
    EXPECT_EQ(QRCode::logoWindow(29, true), 9);
    EXPECT_EQ(QRCode::logoWindow(33, true), 11);
    EXPECT_EQ(QRCode::logoWindow(37, true), 13);
    EXPECT_EQ(QRCode::logoWindow(33, false), 0);
}

TEST(QRCode, WithoutALogoTheCentreModulesAreDrawnAndNoPlateAppears) {
    const std::string text = "MARLOWICK";
    const auto grid = QRCode::matrix(text, "H");
    ASSERT_TRUE(grid.has_value());
    const int n = grid->size;
    const int pixels = (n + 4) * 20;  // 20 pixels a module
    const QImage bare = QRCode::styledImage(text, pixels, Qt::black);
    const QImage logo(10, 10, QImage::Format_ARGB32);  // transparent: only the plate shows
    QImage transparent = logo;
    transparent.fill(Qt::transparent);
    const QImage plated = QRCode::styledImage(text, pixels, Qt::black, std::nullopt, transparent);
    const int window = QRCode::logoWindow(n, true);
    const int start = (n - window) / 2;
    int darkInWindow = 0;
    for (int r = start; r < start + window; ++r) {
        for (int c = start; c < start + window; ++c) {
            const QPoint centre((c + 2) * 20 + 10, (r + 2) * 20 + 10);
            const bool darkBare = qGray(bare.pixel(centre)) < 128;
            EXPECT_EQ(darkBare, grid->dark(r, c)) << r << "," << c;
            EXPECT_EQ(qGray(plated.pixel(centre)), 255) << r << "," << c;
            darkInWindow += grid->dark(r, c) ? 1 : 0;
        }
    }
    EXPECT_GT(darkInWindow, 0);
}

TEST(QRCode, TheEyesTakeTheirOwnColourOrTheInk) {
    const auto grid = QRCode::matrix(link, "H");
    ASSERT_TRUE(grid.has_value());
    const int pixels = (grid->size + 4) * 10;
    // The middle of the top-left eye's centre square: module (3, 3).
    const QPoint eyeCentre(5 * 10 + 5, 5 * 10 + 5);
    EXPECT_EQ(QColor(QRCode::styledImage(link, pixels, ink, eye).pixel(eyeCentre)), eye);
    EXPECT_EQ(QColor(QRCode::styledImage(link, pixels, ink).pixel(eyeCentre)), ink);
}

}  // namespace
}  // namespace marlowick
