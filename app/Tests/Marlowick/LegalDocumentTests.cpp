#include "LegalDocument.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <cstdlib>

#include "LegalDocumentView.hpp"
#include "LegalMarkdown.hpp"
#include "WidgetSupport/WidgetTesting.hpp"

namespace marlowick {
namespace {

TEST(LegalDocument, RawValuesAndTitles) {
    EXPECT_EQ(rawValue(LegalDocument::license), "LICENSE");
    EXPECT_EQ(rawValue(LegalDocument::thirdPartyNotices), "THIRD-PARTY-NOTICES");
    EXPECT_EQ(title(LegalDocument::license), "Licence Agreement");
    EXPECT_EQ(title(LegalDocument::thirdPartyNotices), "Third-Party Notices");
    EXPECT_EQ(allLegalDocuments[0], LegalDocument::license);
    EXPECT_EQ(legalDocument("LICENSE"), LegalDocument::license);
    EXPECT_EQ(legalDocument("THIRD-PARTY-NOTICES"), LegalDocument::thirdPartyNotices);
    for (const char* other : {"", "license", "LICENSE.md", "THIRD-PARTY-NOTICES "}) {
        EXPECT_FALSE(legalDocument(other).has_value()) << other;
    }
}

TEST(LegalDocument, BothDocumentsAreResourcesOfTheProgram) {
    for (LegalDocument document : allLegalDocuments) {
        const auto text = legalDocumentText(document);
        ASSERT_TRUE(text.has_value()) << rawValue(document);
        const auto blocks = LegalMarkdown::blocks(*text);
        ASSERT_FALSE(blocks.empty());
        EXPECT_EQ(blocks.front().kind, LegalMarkdownBlock::Kind::title);
    }
    // The notices name the libraries the program links.
    const std::string notices = legalDocumentText(LegalDocument::thirdPartyNotices).value_or("");
    for (const char* library : {"Qt 6", "libqrencode", "OpenSSL", "libcurl", "zlib", "liblzma", "ICU", "JSON",
                                "Ventoy"}) {
        EXPECT_NE(notices.find(library), std::string::npos) << library;
    }
}

TEST(LegalDocument, AMissingEmptyOrNonUtf8DocumentIsNone) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    EXPECT_FALSE(legalDocumentText(LegalDocument::license, folder.path()).has_value());
    const auto write = [&](const QByteArray& bytes) {
        QFile file(folder.filePath(QStringLiteral("LICENSE.md")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    write("");
    EXPECT_FALSE(legalDocumentText(LegalDocument::license, folder.path()).has_value());
    write("# Terms\n\xC3\x28 broken\n");
    EXPECT_FALSE(legalDocumentText(LegalDocument::license, folder.path()).has_value());
    write("# Terms \xE2\x80\x94 fine\n");
    EXPECT_EQ(legalDocumentText(LegalDocument::license, folder.path()), "# Terms \xE2\x80\x94 fine\n");
}

QStringList labelTexts(QWidget& view) {
    QStringList texts;
    QWidget* column = testing::findElement(view, QStringLiteral("legal.column"));
    if (column == nullptr) return texts;
    for (QLabel* label : column->findChildren<QLabel*>()) texts << label->text();
    return texts;
}

TEST(LegalDocumentView, AMissingDocumentShowsThePackagingFault) {
    QTemporaryDir empty;
    LegalDocumentView view(LegalDocument::thirdPartyNotices, nullptr, empty.path());
    EXPECT_EQ(view.objectName(), QStringLiteral("legal.THIRD-PARTY-NOTICES"));
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Third-Party Notices"));
    const QStringList texts = labelTexts(view);
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("missing its licence text, which is a packaging fault.")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("quenmoorlabworks.com")));
}

TEST(LegalDocumentView, InlineMarkdownIsRenderedAndHtmlIsShownAsText) {
    const QString html =
        legalInlineHtml("Some **bold** and a [link](https://example.org) and <b>tag</b>", QColor(0x00, 0x6A, 0xC5));
    EXPECT_TRUE(html.contains(QStringLiteral("font-weight")) || html.contains(QStringLiteral("<b>bold")));
    EXPECT_TRUE(html.contains(QStringLiteral("href=\"https://example.org\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;tag")));
    EXPECT_TRUE(html.contains(QStringLiteral("color:#006ac5;")));
    EXPECT_FALSE(html.contains(QStringLiteral("#0000ff")));
    // Block markers in a block's text stay text, also after a bullet's marker and blanks.
    EXPECT_TRUE(legalInlineHtml("### word", Qt::blue).contains(QStringLiteral("### word")));
    const std::vector<LegalMarkdownBlock> bullet = LegalMarkdown::blocks("-  # Heading");
    ASSERT_EQ(bullet.size(), 1U);
    EXPECT_TRUE(legalInlineHtml(bullet.front().text, Qt::blue).contains(QStringLiteral("# Heading")));
}

// The runs of monospaced text (code, paths) in `label` that its lines break in two.
QStringList codeCutAcrossLines(const QLabel& label) {
    QTextDocument document;
    document.setDefaultFont(label.font());
    document.setDocumentMargin(0);
    document.setHtml(label.text());
    document.setTextWidth(label.contentsRect().width());
    (void)document.size();
    QStringList cut;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* lines = block.layout();
        for (auto part = block.begin(); !part.atEnd(); ++part) {
            const QTextFragment fragment = part.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const bool code = format.fontFixedPitch() ||
                              format.fontFamilies().toStringList().contains(QStringLiteral("monospace"));
            if (!code || fragment.length() < 2) continue;
            const int first = fragment.position() - block.position();
            const int last = first + fragment.length() - 1;
            if (lines->lineForTextPosition(first).lineNumber() != lines->lineForTextPosition(last).lineNumber()) {
                cut << fragment.text();
            }
        }
    }
    return cut;
}

TEST(LegalDocumentView, APathOrCodeInTheTextIsNeverBrokenAcrossLines) {
    for (LegalDocument document : allLegalDocuments) {
        LegalDocumentView view(document);
        view.resize(view.minimumSize());
        view.show();
        QApplication::processEvents();
        QWidget* column = testing::findElement(view, QStringLiteral("legal.column"));
        ASSERT_NE(column, nullptr);
        for (QLabel* label : column->findChildren<QLabel*>()) {
            if (label->textFormat() != Qt::RichText) continue;
            EXPECT_EQ(codeCutAcrossLines(*label).join(QStringLiteral(", ")).toStdString(), "") << rawValue(document);
        }
    }
}

TEST(LegalDocumentView, ShowsTheDocumentsInLightAndDark) {
    for (const char* appearance : {"light", "dark"}) {
        testing::useAppearance(appearance);
        for (LegalDocument document : allLegalDocuments) {
            LegalDocumentView view(document);
            view.resize(760, 640);
            EXPECT_EQ(view.objectName().toStdString(), "legal." + std::string(rawValue(document)));
            EXPECT_GT(labelTexts(view).size(), 3);
            testing::saveScreenshot(view, "legal-" + std::string(rawValue(document)) + "-" + appearance);
        }
    }
    testing::useAppearance(nullptr);
}

}  // namespace
}  // namespace marlowick
