#include "Assets/VentoyAsset.hpp"

#include <gtest/gtest.h>

#include "Assets/VentoyAssetSet.hpp"

namespace marlowick {
namespace {

TEST(VentoyAsset, NamesTheArchiveMemberAndTheCachedFile) {
    struct Row {
        VentoyAsset asset;
        const char* suffix;
        bool xz;
        const char* output;
        const char* name;
    };
    const Row rows[] = {
        {VentoyAsset::bootImg, "boot/boot.img", false, "boot.img", "bootImg"},
        {VentoyAsset::coreImg, "boot/core.img.xz", true, "core.img", "coreImg"},
        {VentoyAsset::ventoyDiskImg, "ventoy/ventoy.disk.img.xz", true, "ventoy.disk.img", "ventoyDiskImg"},
    };
    ASSERT_EQ(std::size(rows), allVentoyAssets.size());
    for (std::size_t i = 0; i < allVentoyAssets.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(allVentoyAssets[i], row.asset);
        EXPECT_EQ(memberPathSuffix(row.asset), row.suffix);
        EXPECT_EQ(xzCompressed(row.asset), row.xz);
        EXPECT_EQ(outputFileName(row.asset), row.output);
        EXPECT_EQ(render(row.asset), row.name);
    }
}

TEST(VentoyAssetSet, ComparesByValueAndRefusesAnAssetItWasNotGiven) {
    const VentoyAssetSet set{"1.1.17",
                             {{VentoyAsset::bootImg, "/cache/1.1.17/boot.img"},
                              {VentoyAsset::coreImg, "/cache/1.1.17/core.img"},
                              {VentoyAsset::ventoyDiskImg, "/cache/1.1.17/ventoy.disk.img"}}};
    EXPECT_EQ(set.url(VentoyAsset::coreImg), std::filesystem::path("/cache/1.1.17/core.img"));
    VentoyAssetSet other = set;
    EXPECT_EQ(other, set);
    other.files[VentoyAsset::bootImg] = "/elsewhere/boot.img";
    EXPECT_NE(other, set);
    other.files.erase(VentoyAsset::bootImg);
    EXPECT_THROW((void)other.url(VentoyAsset::bootImg), std::out_of_range);
}

}  // namespace
}  // namespace marlowick
