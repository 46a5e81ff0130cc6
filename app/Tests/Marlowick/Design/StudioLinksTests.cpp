#include "Design/StudioLinks.hpp"

#include <gtest/gtest.h>

#include <QUrlQuery>

namespace marlowick {
namespace {

TEST(StudioLinks, TheWebLinksAreHttpsOnTheMakersHost) {
    const QUrl& app = StudioLinks::getMobileApp();
    const QUrl& site = StudioLinks::website();
    const QUrl& home = StudioLinks::marlowickHome();
    for (const QUrl* url : {&app, &site, &home}) {
        SCOPED_TRACE(url->toString().toStdString());
        EXPECT_TRUE(url->isValid());
        EXPECT_EQ(url->scheme(), QStringLiteral("https"));
        EXPECT_FALSE(url->hasQuery());
    }
    EXPECT_EQ(app.path(), QStringLiteral("/get/marlowick"));
    EXPECT_EQ(app.host(), site.host());
    EXPECT_TRUE(site.path().isEmpty());
    EXPECT_TRUE(home.path().isEmpty());
    EXPECT_TRUE(home.host().endsWith(QLatin1Char('.') + site.host()));
    EXPECT_EQ(&StudioLinks::website(), &site);
    EXPECT_EQ(StudioLinks::website(), site);
}

TEST(StudioLinks, SupportOpensAMailWithTheHelpSubject) {
    const QUrl& support = StudioLinks::support();
    EXPECT_EQ(support.scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(support.path().endsWith(QStringLiteral("@") + StudioLinks::website().host()));
    EXPECT_EQ(support.query(QUrl::FullyEncoded), QStringLiteral("subject=Marlowick%20for%20Linux%20%E2%80%94%20Help"));
    EXPECT_EQ(QUrlQuery(support).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QString::fromUtf8("Marlowick for Linux \u2014 Help"));
}

}  // namespace
}  // namespace marlowick
