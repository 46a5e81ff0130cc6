#include "HelperEngine/FileRawImageSourceProvider.hpp"

#include <gtest/gtest.h>

#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

// Everything a stream delivers, or the detail of its failure.
std::string readAll(const RawImageSource& source) {
    RawImageOpenResult opened = source.open();
    if (const auto* failed = std::get_if<RawImageOpenResult::Failed>(&opened.value)) return "failed: " + failed->detail;
    auto& stream = *std::get<RawImageOpenResult::Opened>(opened.value).stream;
    std::vector<std::uint8_t> buffer(1 << 16);
    const RawImageFill fill = stream.fill(buffer);
    stream.close();
    if (fill.failure) return "failed: " + *fill.failure;
    return std::string(buffer.begin(), buffer.begin() + fill.filled);
}

TEST(FileRawImageSourceProvider, DecompressesByTheFileNameAlone) {
    MARLOWICK_REQUIRE_TOOL("gzip");
    MARLOWICK_REQUIRE_TOOL("xz");
    const test::TempDir dir;
    const std::string text = "raw image bytes\n";
    test::writeFile(dir.file("plain.img"), std::vector<std::uint8_t>(text.begin(), text.end()));
    const std::string quoted = "'" + dir.file("plain.img").string() + "'";
    ASSERT_EQ(test::runCommand("gzip -c " + quoted + " > '" + dir.file("a.img.GZ").string() + "'").exitCode, 0);
    ASSERT_EQ(test::runCommand("xz -c " + quoted + " > '" + dir.file("b.img.xz").string() + "'").exitCode, 0);
    // A compressed file under a plain name is copied as it stands.
    ASSERT_EQ(test::runCommand("gzip -c " + quoted + " > '" + dir.file("c.img").string() + "'").exitCode, 0);

    FileRawImageSourceProvider provider;
    EXPECT_EQ(readAll(*provider.source(dir.file("plain.img").string())), text);
    EXPECT_EQ(readAll(*provider.source(dir.file("a.img.GZ").string())), text);
    EXPECT_EQ(readAll(*provider.source(dir.file("b.img.xz").string())), text);
    const std::vector<std::uint8_t> gzipped = test::readFile(dir.file("c.img"));
    EXPECT_EQ(readAll(*provider.source(dir.file("c.img").string())), std::string(gzipped.begin(), gzipped.end()));
    EXPECT_EQ(provider.source(dir.file("plain.img").string())->sizeBytes(), std::int64_t{16});
    EXPECT_EQ(provider.source(dir.file("a.img.GZ").string())->sizeBytes(), std::nullopt);
}

TEST(FileRawImageSourceProvider, AMissingFileFailsWhenOpenedNotBefore) {
    const test::TempDir dir;
    FileRawImageSourceProvider provider;
    const auto source = provider.source(dir.file("gone.iso.gz").string());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(readAll(*source).rfind("failed: ", 0), 0U);
}

}  // namespace
}  // namespace marlowick
