#include "Image/ImageCompression.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

struct NameCase {
    const char* name;
    ImageCompression compression;
    const char* stripped;
    bool rawImage;
};

TEST(ImageCompressionNames, JudgesTheNameAlone) {
    const NameCase cases[] = {
        {"  UBUNTU.ISO.GZ \n", ImageCompression::gzip, "UBUNTU.ISO", false},
        {"image.gz.iso", ImageCompression::none, "image.gz.iso", false},
        {"disk.img", ImageCompression::none, "disk.img", true},
        {"DISK.IMG.GZ", ImageCompression::gzip, "DISK.IMG", true},
        {"disk.img.xz", ImageCompression::xz, "disk.img", true},
        {"Disk.Img.Xz\t", ImageCompression::xz, "Disk.Img", true},
        {"disk.img .xz", ImageCompression::xz, "disk.img ", true},
        {"\xC2\xA0" "card.IMG\xE2\x80\x83", ImageCompression::none, "card.IMG", true},
        {".gz", ImageCompression::gzip, "", false},
        {"archive.tar.bz2", ImageCompression::none, "archive.tar.bz2", false},
        {"gz", ImageCompression::none, "gz", false},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ImageCompressionNames::detect(c.name), c.compression);
        EXPECT_EQ(ImageCompressionNames::stripCompressionSuffix(c.name), c.stripped);
        EXPECT_EQ(RawImageNames::isRawImage(c.name), c.rawImage);
    }
}

TEST(ImageCompression, RawValuesRoundTrip) {
    for (const ImageCompression compression : imageCompressionRawValues.all()) {
        EXPECT_EQ(imageCompressionRawValues.parse(imageCompressionRawValues.text(compression)), compression);
    }
    EXPECT_EQ(imageCompressionRawValues.text(ImageCompression::xz), "xz");
    EXPECT_EQ(imageCompressionRawValues.parse("GZIP"), std::nullopt);
}

}  // namespace
}  // namespace marlowick
