#include "HelperWire/HelperCommand.hpp"

#include <gtest/gtest.h>

#include "HelperWire/HelperWireCodec.hpp"
#include "HelperWire/WireRoundTrip.hpp"

namespace marlowick {
namespace {

HelperDiskRef exampleDisk() {
    DeviceFingerprint fingerprint;
    fingerprint.capacityBytes = 32010928128;
    fingerprint.sectorSize = 512;
    fingerprint.isRemovable = true;
    return HelperDiskRef("/dev/sdb", 512, 62521344, fingerprint);
}

HelperAssetRefSet exampleAssets() {
    return HelperAssetRefSet("1.1.17", "/tmp/marlowick-fake-assets/boot.img", "/tmp/marlowick-fake-assets/core.img",
                             "/tmp/marlowick-fake-assets/ventoy.disk.img", std::nullopt);
}

HelperVentoyLayout exampleLayout() {
    return HelperVentoyLayout(62521344, 512, 2048, 62453760, 62455808, 65536, "mbr", 34);
}

constexpr std::string_view diskJson =
    R"({"rawDevicePath":"\/dev\/sdb","sectorSize":512,"sectorCount":62521344,)"
    R"("fingerprint":{"capacityBytes":32010928128,"sectorSize":512,"isRemovable":true,"isInternal":false}})";
constexpr std::string_view layoutJson =
    R"({"diskSectorCount":62521344,"sectorSize":512,"part1StartSector":2048,"part1SectorCount":62453760,)"
    R"("part2StartSector":62455808,"part2SectorCount":65536,"partitionStyle":"mbr","coreStartSector":34})";

std::string withDisk(std::string_view before, std::string_view after) {
    return std::string(before) + std::string(diskJson) + std::string(after);
}

TEST(HelperCommand, PrepareCommandOfTheApplicationIsOneLine) {
    const HelperCommand prepare{HelperCommand::Prepare{
        exampleDisk(), exampleAssets(),
        HelperInstallOptions("exfat", "gpt", 0, true, "1.1.17", std::nullopt, "MARLOWICK"), std::nullopt}};
    const std::string text = withDisk(
        R"({"prepare":{"disk":)",
        R"(,"assets":{"version":"1.1.17","bootImgPath":"\/tmp\/marlowick-fake-assets\/boot.img",)"
        R"("coreImgPath":"\/tmp\/marlowick-fake-assets\/core.img",)"
        R"("ventoyDiskImgPath":"\/tmp\/marlowick-fake-assets\/ventoy.disk.img"},)"
        R"("options":{"dataFilesystem":"exfat","partitionStyle":"gpt","reserveBytesAtEnd":0,"alignTo4K":true,)"
        R"("ventoyVersion":"1.1.17","volumeLabel":"MARLOWICK"}}})");
    test::expectWireRoundTrip(text, prepare);

    const auto line = HelperLineCoding::encodeLine(prepare);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->back(), '\n');
    EXPECT_EQ(line->find('\n'), line->size() - 1);
    EXPECT_EQ(HelperLineCoding::decodeCommand(line->substr(0, line->size() - 1)), prepare);
}

TEST(HelperCommand, EveryCaseCarriesItsPayload) {
    const HelperRemoveOptions remove("exfat", "mbr", "MARLOWICK", 131072);
    const struct {
        std::string text;
        HelperCommand command;
    } cases[] = {
        {withDisk(R"({"detect":{"disk":)", "}}"), {HelperCommand::Detect{exampleDisk()}}},
        {withDisk(R"({"prepare":{"diskSignature":-1234567,"disk":)",
                  R"(,"assets":{"version":"1.1.17","bootImgPath":"\/tmp\/marlowick-fake-assets\/boot.img",)"
                  R"("coreImgPath":"\/tmp\/marlowick-fake-assets\/core.img",)"
                  R"("ventoyDiskImgPath":"\/tmp\/marlowick-fake-assets\/ventoy.disk.img"},)"
                  R"("options":{"dataFilesystem":"fat32","partitionStyle":"mbr","reserveBytesAtEnd":1048576,)"
                  R"("alignTo4K":false,"dataClusterBytes":32768}}})"),
         {HelperCommand::Prepare{exampleDisk(), exampleAssets(),
                                 HelperInstallOptions("fat32", "mbr", 1048576, false, std::nullopt, 32768, std::nullopt),
                                 -1234567}}},
        {withDisk(R"({"update":{"disk":)",
                  R"(,"assets":{"version":"1.1.17","bootImgPath":"\/tmp\/marlowick-fake-assets\/boot.img",)"
                  R"("coreImgPath":"\/tmp\/marlowick-fake-assets\/core.img",)"
                  R"("ventoyDiskImgPath":"\/tmp\/marlowick-fake-assets\/ventoy.disk.img"}}})"),
         {HelperCommand::Update{exampleDisk(), exampleAssets()}}},
        {withDisk(R"({"removeVentoy":{"disk":)",
                  R"(,"options":{"filesystem":"exfat","partitionStyle":"mbr","volumeLabel":"MARLOWICK",)"
                  R"("dataClusterBytes":131072}}})"),
         {HelperCommand::RemoveVentoy{exampleDisk(), remove}}},
        {withDisk(R"({"addImage":{"disk":)", R"(,"ventoyLayout":)" + std::string(layoutJson) +
                                                 R"(,"name":"a.iso","sizeBytes":4096,"sourcePath":"\/home\/u\/a.iso",)"
                                                 R"("verifyContentHash":true}})"),
         {HelperCommand::AddImage{exampleDisk(), exampleLayout(), "a.iso", 4096, "/home/u/a.iso", true}}},
        {withDisk(R"({"listImages":{"disk":)", R"(,"ventoyLayout":)" + std::string(layoutJson) + "}}"),
         {HelperCommand::ListImages{exampleDisk(), exampleLayout()}}},
        {withDisk(R"({"writeRawImage":{"disk":)", R"(,"sourcePath":"\/home\/u\/disk.img","verify":false}})"),
         {HelperCommand::WriteRawImage{exampleDisk(), "/home/u/disk.img", false}}},
    };
    for (const auto& c : cases) {
        test::expectWireRoundTrip(c.text, c.command);
        EXPECT_EQ(c.command.disk(), exampleDisk());
    }
}

TEST(HelperCommand, TheTargetCheckReadsNameWriteFlagAndRawWriteSource) {
    const HelperDiskRef disk = exampleDisk();
    const struct {
        HelperCommand command;
        std::string_view name;
        bool writes;
        std::optional<std::string> source;
    } cases[] = {
        {{HelperCommand::Detect{disk}}, "detect", false, std::nullopt},
        {{HelperCommand::Prepare{disk, exampleAssets(), {}, std::nullopt}}, "prepare", true, std::nullopt},
        {{HelperCommand::Update{disk, exampleAssets()}}, "update", true, std::nullopt},
        {{HelperCommand::RemoveVentoy{disk, {}}}, "removeVentoy", true, std::nullopt},
        {{HelperCommand::AddImage{disk, exampleLayout(), "a.iso", 1, "/home/u/a.iso", false}}, "addImage", true,
         std::nullopt},
        {{HelperCommand::ListImages{disk, exampleLayout()}}, "listImages", false, std::nullopt},
        {{HelperCommand::WriteRawImage{disk, "/home/u/disk.img", true}}, "writeRawImage", true, "/home/u/disk.img"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.command.diagnosticName(), c.name);
        EXPECT_EQ(c.command.writesToDevice(), c.writes) << c.name;
        EXPECT_EQ(c.command.rawWriteSourcePath(), c.source) << c.name;
    }
}

TEST(HelperCommand, AbsentAndNullOptionalsAreLeftOut) {
    const std::string withNulls = withDisk(
        R"({"prepare":{"diskSignature":null,"disk":)",
        R"(,"assets":{"version":"1.1.17","bootImgPath":"\/b","coreImgPath":"\/c","ventoyDiskImgPath":"\/v"},)"
        R"("options":{"dataFilesystem":"exfat","partitionStyle":"mbr","reserveBytesAtEnd":0,"alignTo4K":true,)"
        R"("ventoyVersion":null,"dataClusterBytes":null,"volumeLabel":null,"futureKey":[1,2]}},"alsoIgnored":{}})");
    const auto decoded = HelperLineCoding::decodeCommand(withNulls);
    ASSERT_TRUE(decoded.has_value());
    const auto& prepare = std::get<HelperCommand::Prepare>(decoded->value);
    EXPECT_EQ(prepare.options, HelperInstallOptions());
    EXPECT_FALSE(prepare.diskSignature.has_value());
    const auto encoded = encodeJson(*decoded);
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(encoded->find("null"), std::string::npos) << *encoded;
}

}  // namespace
}  // namespace marlowick
