#include "AboutWindow.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "LegalWindowPresenter.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

struct VersionCase {
    std::map<std::string, std::string> values;
    const char* line;
};

TEST(AboutInfo, VersionLineShowsTheBuildOnlyWhenItSaysMore) {
    const VersionCase cases[] = {
        {{{"ShortVersion", "1.4"}, {"Build", "27"}}, "Version 1.4 (27)"},
        {{{"ShortVersion", "1.4"}, {"Build", "1.4"}}, "Version 1.4"},
        {{{"ShortVersion", "1.4"}, {"Build", ""}}, "Version 1.4"},
        {{{"ShortVersion", "1.4"}}, "Version 1.4"},
        {{{"Build", "42"}}, "Version — (42)"},
        {{}, "Version —"},
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(AboutInfo::from(c.values).versionLine(), c.line);
    }
    EXPECT_EQ(AboutInfo::from({}).copyright, AboutInfo::defaultCopyright);
    EXPECT_EQ(AboutInfo::ofThisProgram().shortVersion, MARLOWICK_VERSION);
}

TEST(AboutWindow, OneWindowBroughtForwardAgainAndItsLegalButtonsOpenOneWindowEach) {
    AboutWindowPresenter::show();
    QWidget* about = AboutWindowPresenter::window();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Marlowick"));
    EXPECT_EQ(about->objectName(), QStringLiteral("about.window"));
    auto* version = testing::findElement<QLabel>(*about, QStringLiteral("about.version"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("Version " MARLOWICK_VERSION));
    auto* copyright = testing::findElement<QLabel>(*about, QStringLiteral("about.copyright"));
    ASSERT_NE(copyright, nullptr);
    EXPECT_EQ(copyright->text(), QString::fromUtf8(AboutInfo::defaultCopyright));
    auto* source = testing::findElement<QLabel>(*about, QStringLiteral("about.ventoySource"));
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->text().contains(QStringLiteral(">github.com/ventoy/Ventoy<"))) << source->text().toStdString();
    EXPECT_NE(testing::findElement<QLabel>(*about, QStringLiteral("about.studio")), nullptr);
    testing::saveScreenshot(*about, "about-window");

    about->close();
    EXPECT_FALSE(about->isVisible());
    AboutWindowPresenter::show();
    EXPECT_EQ(AboutWindowPresenter::window(), about);
    EXPECT_TRUE(about->isVisible());

    for (const LegalDocument document : allLegalDocuments) {
        const QString identifier = QStringLiteral("about.") + QString::fromLatin1(rawValue(document).data());
        auto* button = testing::findElement<QPushButton>(*about, identifier);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), title(document));
        button->click();
        QWidget* legal = LegalWindowPresenter::window(document);
        ASSERT_NE(legal, nullptr);
        EXPECT_TRUE(legal->isVisible());
        EXPECT_EQ(legal->objectName(), QStringLiteral("legal.") + QString::fromLatin1(rawValue(document).data()));
        legal->close();
        button->click();
        EXPECT_EQ(LegalWindowPresenter::window(document), legal);
        EXPECT_TRUE(legal->isVisible());
        testing::saveScreenshot(*legal, "legal-" + std::string(rawValue(document)));
    }
    EXPECT_NE(LegalWindowPresenter::window(LegalDocument::license),
              LegalWindowPresenter::window(LegalDocument::thirdPartyNotices));
}

}  // namespace
}  // namespace marlowick
