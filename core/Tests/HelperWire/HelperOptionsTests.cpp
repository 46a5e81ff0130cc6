#include "HelperWire/HelperOptions.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <variant>

namespace marlowick {
namespace {

using OptionsError = VentoyInstallOptionsError;

// The text a refused mapping leaves in the result's detail: what() of the error thrown.
template <class Mapping>
std::string refusalOf(Mapping mapping) {
    try {
        (void)mapping();
    } catch (const HelperOptionMappingError& error) {
        return error.what();
    } catch (const OptionsError& error) {
        return error.what();
    }
    return "accepted";
}

HelperInstallOptions install(std::string filesystem, std::string style, std::int64_t reserve,
                             std::optional<std::int64_t> cluster, std::optional<std::string> label) {
    return HelperInstallOptions(std::move(filesystem), std::move(style), reserve, true, std::nullopt, cluster,
                                std::move(label));
}

TEST(HelperInstallOptions, MappingRefusesInTheOrderOfItsChecks) {
    const struct {
        HelperInstallOptions options;
        std::string refusal;
    } cases[] = {
        {install("FAT32", "GPT", -1, 3, "   "), R"(unknownRawValue(field: "dataFilesystem", value: "FAT32"))"},
        {install("exfat", "GPT", -1, 3, "   "), R"(unknownRawValue(field: "partitionStyle", value: "GPT"))"},
        {install("exfat", "gpt", -1, 3, "   "), "negativeReserveBytes(-1)"},
        {install("fat32", "mbr", 0, 32768, std::nullopt), "accepted"},
        {install("fat32", "mbr", 0, 65536, std::nullopt), "clusterOutOfRange(65536)"},
        {install("exfat", "mbr", 0, 65536, std::nullopt), "accepted"},
        {install("exfat", "mbr", 0, 33554432, std::nullopt), "accepted"},
        {install("exfat", "mbr", 0, 67108864, std::nullopt), "clusterOutOfRange(67108864)"},
        {install("exfat", "mbr", 0, 256, std::nullopt), "clusterOutOfRange(256)"},
        {install("exfat", "mbr", 0, 512, std::nullopt), "accepted"},
        {install("exfat", "mbr", 0, 0, std::nullopt), "clusterNotPowerOfTwo(0)"},
        {install("exfat", "mbr", 0, -512, std::nullopt), "clusterNotPowerOfTwo(-512)"},
        {install("exfat", "mbr", 0, 3000, "   "), "clusterNotPowerOfTwo(3000)"},
        {install("exfat", "mbr", 0, std::nullopt, "   "), "blankVolumeLabel"},
        {install("exfat", "mbr", 0, std::nullopt, "ABCDEFGHIJK"), "accepted"},
        {install("exfat", "mbr", 0, std::nullopt, "ABCDEFGHIJKL"), "volumeLabelTooLong(length: 12)"},
        {install("exfat", "mbr", 0, std::nullopt, " ABCDEFGHIJ "), "volumeLabelTooLong(length: 12)"},
        // The formatters count UTF-16 units: six characters outside the basic plane take twelve.
        {install("exfat", "mbr", 0, std::nullopt, "\xF0\x9F\x92\xBE\xF0\x9F\x92\xBE\xF0\x9F\x92\xBE\xF0\x9F\x92\xBE"
                                                  "\xF0\x9F\x92\xBE\xF0\x9F\x92\xBE"),
         "volumeLabelTooLong(length: 12)"},
        {install("exfat", "mbr", 0, std::nullopt, std::nullopt), "accepted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        EXPECT_EQ(refusalOf([&] { return c.options.engineOptions(); }), c.refusal);
    }
}

TEST(HelperInstallOptions, MapsToTheEngineOptionsAndBack) {
    const HelperInstallOptions wire("fat32", "gpt", 4096, false, "1.1.17", 16384, " Stick ");
    const VentoyInstallOptions engine = wire.engineOptions();
    EXPECT_EQ(engine, VentoyInstallOptions(DriveFilesystem::fat32, PartitionStyle::gpt, 4096, false, "1.1.17", 16384,
                                           " Stick "));
    EXPECT_EQ(HelperInstallOptions(engine), wire);
    EXPECT_EQ(HelperInstallOptions(VentoyInstallOptions::defaultOptions()), HelperInstallOptions());
    EXPECT_EQ(HelperInstallOptions().engineOptions(), VentoyInstallOptions::defaultOptions());
}

TEST(HelperRemoveOptions, OffersOnlyExfatAndRefusesWhatTheFormatterWould) {
    const struct {
        HelperRemoveOptions options;
        std::string refusal;
    } cases[] = {
        {HelperRemoveOptions(), "accepted"},
        {HelperRemoveOptions("fat32", "mbr", "MARLOWICK", std::nullopt),
         R"(unknownRawValue(field: "filesystem", value: "fat32"))"},
        {HelperRemoveOptions("exFAT", "mbr", "MARLOWICK", std::nullopt),
         R"(unknownRawValue(field: "filesystem", value: "exFAT"))"},
        {HelperRemoveOptions("exfat", "Mbr", "MARLOWICK", std::nullopt),
         R"(unknownRawValue(field: "partitionStyle", value: "Mbr"))"},
        {HelperRemoveOptions("exfat", "gpt", "ABCDEFGHIJKL", std::nullopt), "volumeLabelTooLong(length: 12)"},
        {HelperRemoveOptions("exfat", "gpt", "", std::nullopt), "accepted"},
        {HelperRemoveOptions("exfat", "gpt", "MARLOWICK", 3000), "clusterNotPowerOfTwo(3000)"},
        {HelperRemoveOptions("exfat", "gpt", "MARLOWICK", 67108864), "clusterOutOfRange(67108864)"},
        {HelperRemoveOptions("exfat", "gpt", "MARLOWICK", 65536), "accepted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        EXPECT_EQ(refusalOf([&] { return c.options.engineValues(); }), c.refusal);
    }
    const auto values = HelperRemoveOptions("exfat", "gpt", "X", std::nullopt).engineValues();
    EXPECT_EQ(values, (HelperRemoveOptions::EngineValues{DriveFilesystem::exfat, PartitionStyle::gpt}));
}

}  // namespace
}  // namespace marlowick
