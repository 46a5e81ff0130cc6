// Real images made by xorriso, each inspected from its file (as it is, and as gzip and xz
// made it) and routed as the application does before a raw write: header, verdict and
// warnings.
#include "Image/CompressedRawImageSource.hpp"
#include "Image/FileRawImageSource.hpp"
#include "Image/IsoInspector.hpp"
#include "Image/RawWritePreflight.hpp"
#include "Image/RawWriteRouting.hpp"

#include "Image/ImageTestSupport.hpp"
#include "Image/IsoImageSupport.hpp"
#include "Support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace marlowick {
namespace {

using RawWriteRouting::Bootability;
using RawWriteRouting::Verdict;
using Notice = RawWritePreflightNotice;

constexpr const char* biosEntry = "-b boot.bin -no-emul-boot -boot-load-size 4";
constexpr const char* efiEntry = "-eltorito-alt-boot -e efi.img -no-emul-boot";
constexpr const char* hybridMbr = "-isohybrid-mbr ../mbr.bin";
constexpr const char* efiGuid = "C12A7328-F81F-11D2-BA4B-00A0C93EC93B";

struct ImageBuild {
    const char* file;
    std::string xorrisoArgs;  // empty: a copy of `cutFrom` cut to `cutTo` bytes
    const char* cutFrom = nullptr;
    std::int64_t cutTo = 0;
};

std::vector<ImageBuild> imageBuilds() {
    const std::string appendEfi = std::string("-append_partition 2 ");
    return {
        {"plain.iso", " "},
        // A data image with a partition table: 0x55AA at 510, but no boot code, no El Torito
        // record and no EFI partition, so nothing that would start a PC.
        {"partitioned-data.iso", "-partition_offset 16"},
        {"bios.iso", biosEntry},
        {"bios-uefi.iso", std::string(biosEntry) + " " + efiEntry},
        {"uefi.iso", "-e efi.img -no-emul-boot"},
        {"hybrid-bios.iso", std::string(hybridMbr) + " " + biosEntry},
        {"hybrid-efi-entry.iso", std::string(hybridMbr) + " " + biosEntry + " " + efiEntry},
        {"hybrid-efi-gpt-basdat.iso", std::string(hybridMbr) + " " + biosEntry + " " + efiEntry + " -isohybrid-gpt-basdat"},
        {"hybrid-efi-partition.iso", std::string(hybridMbr) + " " + biosEntry + " " + appendEfi + "0xef efi.img"},
        {"gpt-hybrid.iso", std::string(biosEntry) + " " + appendEfi + efiGuid + " efi.img -appended_part_as_gpt"},
        {"hybrid-cut.iso", "", "hybrid-bios.iso", 1 << 20},
        {"plain-cut.iso", "", "plain.iso", 40'000},
        {"plain-stub.iso", "", "plain.iso", 30'000},
    };
}

class RawWriteRoutingImages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::hasTool("xorriso") || !test::hasTool("mkfs.fat")) return;
        dir = std::make_unique<test::TempDir>();
        const auto root = dir->file("root");
        std::filesystem::create_directory(root);
        std::vector<std::uint8_t> boot(2048, 0xF4);
        test::writeFile(root / "boot.bin", boot);
        test::writeFile(root / "readme.txt", {'h', 'i', '\n'});
        test::writeFile(dir->file("mbr.bin"), std::vector<std::uint8_t>(432, 0x00));
        const auto fat = test::runCommand("mkfs.fat -C '" + (root / "efi.img").string() + "' 1440");
        ASSERT_EQ(fat.exitCode, 0) << fat.output;
        for (const ImageBuild& build : imageBuilds()) {
            const auto path = dir->file(build.file);
            if (build.xorrisoArgs.empty()) {
                std::filesystem::copy_file(dir->file(build.cutFrom), path);
                std::filesystem::resize_file(path, static_cast<std::uintmax_t>(build.cutTo));
                continue;
            }
            const auto made = test::runCommand("cd '" + root.string() + "' && xorriso -as mkisofs -quiet " +
                                               build.xorrisoArgs + " -o '" + path.string() + "' . 2>&1");
            ASSERT_EQ(made.exitCode, 0) << build.file << ": " << made.output;
        }
        for (const ImageBuild& build : imageBuilds()) compress(dir->file(build.file));
        compress(root / "efi.img");
    }

    // Keeps the file and adds its .gz and .xz copies beside it.
    static void compress(const std::filesystem::path& path) {
        const auto packed = test::runCommand("gzip -k '" + path.string() + "' && xz -k '" + path.string() + "' 2>&1");
        ASSERT_EQ(packed.exitCode, 0) << path << ": " << packed.output;
    }

    // The source the application reads a picked file through: decompressing when so named.
    static std::shared_ptr<const RawImageSource> sourceFor(const std::filesystem::path& path) {
        return CompressedRawImageSource::forName(path.filename().string(),
                                                 std::make_shared<FileRawImageSource>(path.string()));
    }
    static void TearDownTestSuite() { dir.reset(); }

    void SetUp() override {
        MARLOWICK_REQUIRE_TOOL("xorriso");
        MARLOWICK_REQUIRE_TOOL("mkfs.fat");
        MARLOWICK_REQUIRE_TOOL("gzip");
        MARLOWICK_REQUIRE_TOOL("xz");
        ASSERT_NE(dir, nullptr);
    }

    // The size xorriso itself reads from the image's volume descriptors.
    static std::int64_t xorrisoVolumeBytes(const std::filesystem::path& path) {
        const auto report = test::runCommand("xorriso -indev '" + path.string() + "' 2>&1");
        const std::string marker = "Media summary: 1 session, ";
        const auto at = report.output.find(marker);
        if (at == std::string::npos) {
            ADD_FAILURE() << report.output;
            return -1;
        }
        return std::stoll(report.output.substr(at + marker.size())) * 2048;  // "N data blocks"
    }

    static std::unique_ptr<test::TempDir> dir;
};

std::unique_ptr<test::TempDir> RawWriteRoutingImages::dir;

std::int64_t fileBytes(const std::filesystem::path& path) {
    return static_cast<std::int64_t>(std::filesystem::file_size(path));
}

struct Expectation {
    const char* file;
    IsoInspection::Case inspection;
    IsoBootRecord bootRecord;
    IsoUefiBoot uefiBoot;
    Verdict::Case verdict;
    std::vector<Notice::Case> notices;
};

TEST_F(RawWriteRoutingImages, EachImageRoutesToItsVerdictAndWarnings) {
    const IsoInspection::Case plain = IsoInspection::PlainIso9660{};
    const IsoInspection::Case hybrid = IsoInspection::Isohybrid{};
    const Verdict::Case multiboot = Verdict::UseMultiboot{};
    const auto write = [](Bootability b) { return Verdict::Case{Verdict::RawWrite{b}}; };
    const std::int64_t hybridBytes = fileBytes(dir->file("hybrid-bios.iso"));
    const std::int64_t plainBytes = fileBytes(dir->file("plain.iso"));
    using E = IsoBootRecord;
    using U = IsoUefiBoot;
    const Expectation rows[] = {
        {"plain.iso", plain, E::none, U::unknown, multiboot, {Notice::NoBootRecord{}}},
        {"partitioned-data.iso", plain, E::none, U::unknown, multiboot, {Notice::NoBootRecord{}}},
        {"bios.iso", plain, E::elTorito, U::none, multiboot, {Notice::BiosOnly{}}},
        {"bios-uefi.iso", plain, E::elTorito, U::present, multiboot, {}},
        {"uefi.iso", plain, E::elTorito, U::present, multiboot, {}},
        {"hybrid-bios.iso", hybrid, E::elTorito, U::none, write(Bootability::biosOnly), {Notice::BiosOnly{}}},
        {"hybrid-efi-entry.iso", hybrid, E::elTorito, U::present, write(Bootability::biosAndUefi), {}},
        {"hybrid-efi-gpt-basdat.iso", hybrid, E::elTorito, U::present, write(Bootability::biosAndUefi), {}},
        // BIOS-only catalogs: the EFI partition or the protective GPT in the MBR is the evidence.
        {"hybrid-efi-partition.iso", hybrid, E::elTorito, U::present, write(Bootability::biosAndUefi), {}},
        {"gpt-hybrid.iso", hybrid, E::elTorito, U::present, write(Bootability::biosAndUefi), {}},
        {"hybrid-cut.iso", hybrid, E::elTorito, U::none, write(Bootability::biosOnly),
         {Notice::Truncated{hybridBytes, 1 << 20}, Notice::BiosOnly{}}},
        {"plain-cut.iso", plain, E::none, U::unknown, multiboot,
         {Notice::Truncated{plainBytes, 40'000}, Notice::NoBootRecord{}}},
        {"plain-stub.iso", IsoInspection::NotIso9660{}, E::unknown, U::unknown,
         Verdict::Refuse{RawWriteRouting::RefusalReason{RawWriteRouting::RefusalReason::NotADiskImage{}}}, {}},
        // Not ISO 9660 at all, but named as a raw image.
        {"root/efi.img", IsoInspection::NotIso9660{}, E::unknown, U::unknown, write(Bootability::unverified), {}},
    };
    for (const Expectation& row : rows) {
        for (const std::string suffix : {"", ".gz", ".xz"}) {
            const auto path = dir->file(row.file + suffix);
            SCOPED_TRACE(path.filename().string());
            const auto source = sourceFor(path);
            const IsoHeader header = IsoInspector::readHeader(*source);
            // A file handing out one byte per read looks the same.
            const auto trickling = CompressedRawImageSource::forName(
                path.filename().string(),
                std::make_shared<test::TricklingSource>(std::make_shared<FileRawImageSource>(path.string()), 1));
            EXPECT_EQ(IsoInspector::readHeader(*trickling), header);
            if (!suffix.empty()) {
                // Decoded whole, the copy is the image the tool compressed.
                const test::StreamContents decoded = test::readToEnd(*source, 65536);
                EXPECT_EQ(decoded.failure, "");
                EXPECT_TRUE(decoded.bytes == test::readFile(dir->file(row.file)));
            }
            EXPECT_EQ(header.inspection, IsoInspection{row.inspection});
            EXPECT_EQ(header.bootRecord, row.bootRecord);
            EXPECT_EQ(header.uefiBoot, row.uefiBoot);
            EXPECT_EQ(RawWriteRouting::route(path.filename().string(), header), Verdict{row.verdict});
            EXPECT_EQ(RawWriteRouting::route(path.filename().string(), *source), Verdict{row.verdict});
            // The size the image stream will deliver: the file's for a plain image, unknown for
            // a compressed one, whose size on disk would pass for a truncated image.
            EXPECT_EQ(source->sizeBytes(), suffix.empty() ? std::optional(fileBytes(path)) : std::nullopt);
            std::vector<Notice> expectedNotices;
            for (const auto& notice : row.notices) {
                if (suffix.empty() || !std::holds_alternative<Notice::Truncated>(notice)) {
                    expectedNotices.push_back(Notice{notice});
                }
            }
            EXPECT_EQ(RawWritePreflight::notices(header, source->sizeBytes()), expectedNotices);
        }
    }
}

TEST_F(RawWriteRoutingImages, ACompressedCopyThatCannotBeDecodedIsRefusedAsUnreadable) {
    const auto refusedFor = [](const std::string& detail) {
        using RawWriteRouting::RefusalReason;
        return Verdict{Verdict::Refuse{RefusalReason{RefusalReason::Unreadable{detail}}}};
    };
    // Compressed streams that end before the 44 KiB the inspector reads, and an ISO merely
    // named as compressed.
    ASSERT_EQ(test::runCommand("cd '" + dir->path().string() +
                               "' && head -c 30000 hybrid-bios.iso | xz | head -c -20 > cut.iso.xz && "
                               "head -c 30000 hybrid-bios.iso | gzip | head -c -20 > cut.iso.gz && "
                               "cp hybrid-bios.iso renamed.iso.gz")
                  .exitCode,
              0);
    const struct {
        const char* file;
        const char* detail;
    } cases[] = {
        {"cut.iso.xz", "the compressed image ended mid-stream"},
        {"cut.iso.gz", "the compressed image ended mid-stream"},
        {"renamed.iso.gz", "not a gzip image (bad header)"},
        {"missing.iso.xz", "could not open missing.iso.xz for reading"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto source = sourceFor(dir->file(c.file));
        EXPECT_EQ(IsoInspector::readHeader(*source), IsoHeader::unreadable(c.detail));
        EXPECT_EQ(RawWriteRouting::route(c.file, *source), refusedFor(c.detail));
    }
}

TEST_F(RawWriteRoutingImages, DeclaredSizeIsTheVolumeSizeXorrisoReads) {
    for (const char* file : {"plain.iso", "bios-uefi.iso", "hybrid-bios.iso", "gpt-hybrid.iso"}) {
        SCOPED_TRACE(file);
        const IsoHeader header = IsoInspector::readHeader(FileRawImageSource(dir->file(file).string()));
        EXPECT_EQ(header.declaredBytes, xorrisoVolumeBytes(dir->file(file)));
    }
    const IsoHeader cut = IsoInspector::readHeader(*sourceFor(dir->file("hybrid-cut.iso.xz")));
    EXPECT_EQ(cut.declaredBytes, xorrisoVolumeBytes(dir->file("hybrid-bios.iso")));
}

}  // namespace
}  // namespace marlowick
