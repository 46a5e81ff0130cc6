#include "Image/IsoInspector.hpp"

#include "Image/CompressedRawImageSource.hpp"
#include "Image/DataRawImageSource.hpp"
#include "Image/FileRawImageSource.hpp"
#include "Image/IsoImageSupport.hpp"
#include "Support/TestSupport.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

using test::catalogSector;
using test::elToritoImage;
using test::entry;

constexpr std::size_t preflight = 45056;

IsoHeader inspectBytes(std::vector<std::uint8_t> bytes, std::size_t chunk = 4096) {
    test::MemoryIsoStream stream(std::move(bytes), chunk);
    return IsoInspector::readHeader(stream);
}

void putCatalog(std::vector<std::uint8_t>& image, std::uint32_t sector, const std::vector<std::uint8_t>& catalog) {
    const std::size_t offset = std::size_t{sector} * 2048;
    if (image.size() < offset + catalog.size()) image.resize(offset + catalog.size());
    std::copy(catalog.begin(), catalog.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

const std::vector<std::uint8_t> efiCatalog = catalogSector(0xEF, {entry({0x88})});
const std::vector<std::uint8_t> biosCatalog = catalogSector(0x00, {entry({0x88})});

TEST(IsoInspector, ShortOrForeignBytesAreNotIso9660) {
    const auto iso = elToritoImage(20, preflight);
    const IsoHeader expected = IsoHeader::notIso9660();
    EXPECT_EQ(inspectBytes({}), expected);
    EXPECT_EQ(inspectBytes({iso.begin(), iso.begin() + 32773}), expected);
    EXPECT_EQ(inspectBytes(std::vector<std::uint8_t>(preflight, 0x00)), expected);
    auto wrongIdentifier = iso;
    wrongIdentifier[32773] = '2';
    EXPECT_EQ(inspectBytes(wrongIdentifier), expected);
    // Exactly the identifier of the first descriptor: ISO 9660, nothing more known.
    const IsoHeader justTheIdentifier = inspectBytes({iso.begin(), iso.begin() + 32774});
    EXPECT_EQ(justTheIdentifier.inspection, IsoInspection{IsoInspection::PlainIso9660{}});
    EXPECT_EQ(justTheIdentifier.declaredBytes, std::nullopt);
    EXPECT_EQ(justTheIdentifier.bootRecord, IsoBootRecord::unknown);
}

TEST(IsoInspector, ReadsKindSizeBootRecordAndCatalogInsideTheFirstBytes) {
    auto image = elToritoImage(20, preflight, 1000, 2048);
    test::putBootSignature(image);
    putCatalog(image, 20, efiCatalog);
    const IsoHeader expected{IsoInspection{IsoInspection::Isohybrid{}}, 2'048'000, IsoBootRecord::elTorito,
                             IsoUefiBoot::present};
    EXPECT_EQ(inspectBytes(image), expected);
    // Reads of one byte at a time see the same image.
    EXPECT_EQ(inspectBytes(image, 1), expected);
    // A stream is inspected from where it stands and left open; a source is opened and closed.
    test::MemoryIsoStream stream(image);
    EXPECT_EQ(IsoInspector::inspect(stream), expected.inspection);
    EXPECT_EQ(stream.closes, 0);
    const test::CountingSource source(image);
    EXPECT_EQ(IsoInspector::readHeader(source), expected);
    EXPECT_EQ(IsoInspector::inspect(source), expected.inspection);
    EXPECT_EQ(source.opens, 2);
    EXPECT_EQ(source.closes, 2);
}

TEST(IsoInspector, BootRecordScanStopsAtTheTerminatorOrAnUnreadableDescriptor) {
    std::vector<std::uint8_t> terminatorFirst(preflight);
    test::putDescriptor(terminatorFirst, 16, 255);
    const IsoHeader terminated = inspectBytes(terminatorFirst);
    EXPECT_EQ(terminated.inspection, IsoInspection{IsoInspection::PlainIso9660{}});
    EXPECT_EQ(terminated.bootRecord, IsoBootRecord::none);
    EXPECT_EQ(terminated.uefiBoot, IsoUefiBoot::unknown);
    EXPECT_EQ(terminated.declaredBytes, std::nullopt);

    auto wrongSystem = elToritoImage(20, preflight);
    wrongSystem[17 * 2048 + 7] = 'X';
    EXPECT_EQ(inspectBytes(wrongSystem).bootRecord, IsoBootRecord::unknown);

    std::vector<std::uint8_t> noTerminator(preflight);
    for (int index = 16; index <= 21; ++index) test::putDescriptor(noTerminator, index, 2);
    EXPECT_EQ(inspectBytes(noTerminator).bootRecord, IsoBootRecord::unknown);

    std::vector<std::uint8_t> bootRecordLast(preflight);
    for (int index = 16; index <= 20; ++index) test::putDescriptor(bootRecordLast, index, 2);
    test::putDescriptor(bootRecordLast, 21, 0);
    test::putText(bootRecordLast, 21 * 2048 + 7, "EL TORITO SPECIFICATION");
    EXPECT_EQ(inspectBytes(bootRecordLast).bootRecord, IsoBootRecord::elTorito);

    // The boot record descriptor is cut short by the end of the image.
    const auto image = elToritoImage(20, preflight);
    EXPECT_EQ(inspectBytes({image.begin(), image.begin() + 17 * 2048 + 100}).bootRecord, IsoBootRecord::unknown);
}

TEST(IsoInspector, DeclaredSizeNeedsAPrimaryDescriptorWithBothFactors) {
    EXPECT_EQ(inspectBytes(elToritoImage(20, preflight, 0, 2048)).declaredBytes, std::nullopt);
    EXPECT_EQ(inspectBytes(elToritoImage(20, preflight, 100, 0)).declaredBytes, std::nullopt);
    const std::int64_t largest = std::int64_t{0xFFFF'FFFF} * 0xFFFF;
    EXPECT_EQ(inspectBytes(elToritoImage(20, preflight, 0xFFFF'FFFF, 0xFFFF)).declaredBytes, largest);
    auto notPrimary = elToritoImage(20, preflight);
    notPrimary[16 * 2048] = 2;
    EXPECT_EQ(inspectBytes(notPrimary).declaredBytes, std::nullopt);
}

// A boot signature is a hybrid only with something that starts a PC beside it: an El
// Torito record, boot code before the disk signature, or an EFI system partition.
TEST(IsoInspector, ABootSignatureAloneIsNoHybrid) {
    std::vector<std::uint8_t> noBootRecord(preflight);
    test::putDescriptor(noBootRecord, 16, 1);
    test::putDescriptor(noBootRecord, 17, 255);
    test::putBootSignature(noBootRecord);
    noBootRecord[446 + 4] = 0x83;  // a partition table entry, as a data image may carry
    const IsoInspection plain{IsoInspection::PlainIso9660{}};
    const IsoInspection hybrid{IsoInspection::Isohybrid{}};
    EXPECT_EQ(inspectBytes(noBootRecord).inspection, plain);

    auto withBootCode = noBootRecord;
    withBootCode[0] = 0xEB;
    EXPECT_EQ(inspectBytes(withBootCode).inspection, hybrid);
    auto lastBootCodeByte = noBootRecord;
    lastBootCodeByte[439] = 0x01;
    EXPECT_EQ(inspectBytes(lastBootCodeByte).inspection, hybrid);
    auto diskSignatureOnly = noBootRecord;  // bytes 440-443 are not boot code
    diskSignatureOnly[440] = 0x12;
    EXPECT_EQ(inspectBytes(diskSignatureOnly).inspection, plain);
    auto withEfiPartition = noBootRecord;
    withEfiPartition[446 + 16 + 4] = 0xEF;
    EXPECT_EQ(inspectBytes(withEfiPartition).inspection, hybrid);
    auto withElTorito = elToritoImage(20, preflight);
    test::putBootSignature(withElTorito);
    EXPECT_EQ(inspectBytes(withElTorito).inspection, hybrid);
}

TEST(IsoInspector, HybridMbrWithEfiPartitionNeedsNoCatalog) {
    auto image = elToritoImage(8200, preflight + 100'000);
    test::putBootSignature(image);
    image[466] = 0xEF;
    test::MemoryIsoStream stream(image);
    EXPECT_EQ(IsoInspector::readHeader(stream).uefiBoot, IsoUefiBoot::present);
    EXPECT_EQ(stream.position, preflight);
}

TEST(IsoInspector, FetchesACatalogUpTo16MiBInByReadingForward) {
    struct FetchCase {
        const char* name;
        std::uint32_t catalogSector;
        IsoUefiBoot expected;
        std::size_t readUpTo;
    };
    const FetchCase cases[] = {
        {"firstSectorPastTheBuffer", 22, IsoUefiBoot::present, 22 * 2048 + 2048},
        {"exactly16MiB", 8192, IsoUefiBoot::present, 8192 * 2048 + 2048},
        {"past16MiB", 8200, IsoUefiBoot::unknown, preflight},
        {"largestSectorNumber", 0xFFFF'FFFF, IsoUefiBoot::unknown, preflight},
    };
    for (const FetchCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = elToritoImage(c.catalogSector, preflight);
        if (std::uint64_t{c.catalogSector} * 2048 < 20'000'000) putCatalog(image, c.catalogSector, efiCatalog);
        image.resize(std::max<std::size_t>(image.size(), 8200 * 2048 + 4096));
        test::MemoryIsoStream stream(image, 65536);
        EXPECT_EQ(IsoInspector::readHeader(stream).uefiBoot, c.expected);
        EXPECT_EQ(stream.position, c.readUpTo);
    }
}

TEST(IsoInspector, CatalogOutsideWhatCanBeReadIsUnknown) {
    // The image ends inside the catalog: it straddles the end of what was read.
    auto straddling = elToritoImage(19, 19 * 2048 + 1000);
    EXPECT_EQ(inspectBytes(straddling).uefiBoot, IsoUefiBoot::unknown);
    // The stream ended before the buffer was full, so nothing lies beyond it.
    EXPECT_EQ(inspectBytes(elToritoImage(30, 40'000)).uefiBoot, IsoUefiBoot::unknown);
    // The image ends between the buffer and the catalog.
    EXPECT_EQ(inspectBytes(elToritoImage(100, 60'000)).uefiBoot, IsoUefiBoot::unknown);
    // A BIOS-only catalog in the buffer is none, not unknown.
    auto bios = elToritoImage(20, preflight);
    putCatalog(bios, 20, biosCatalog);
    EXPECT_EQ(inspectBytes(bios).uefiBoot, IsoUefiBoot::none);
}

TEST(IsoInspector, AFailedFirstReadIsUnreadableWithTheReadersText) {
    test::ScriptedIsoStream failing(
        [](std::span<std::uint8_t>) { return RawImageReadResult::failed("read failed: errno 5 (Input/output error)"); });
    EXPECT_EQ(IsoInspector::readHeader(failing), IsoHeader::unreadable("read failed: errno 5 (Input/output error)"));
    EXPECT_EQ(IsoInspector::inspect(failing),
              IsoInspection{IsoInspection::Unreadable{"read failed: errno 5 (Input/output error)"}});
}

TEST(IsoInspector, AFailedCatalogFetchLeavesTheEvidenceUnknown) {
    auto image = elToritoImage(100, preflight);
    std::size_t delivered = 0;
    test::ScriptedIsoStream failsPastTheBuffer([&](std::span<std::uint8_t> into) {
        if (delivered >= image.size()) return RawImageReadResult::failed("read failed: Input/output error");
        const std::size_t n = std::min(into.size(), image.size() - delivered);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(delivered), n, into.begin());
        delivered += n;
        return RawImageReadResult::bytes(static_cast<std::int64_t>(n));
    });
    const IsoHeader header = IsoInspector::readHeader(failsPastTheBuffer);
    EXPECT_EQ(header.inspection, IsoInspection{IsoInspection::PlainIso9660{}});
    EXPECT_EQ(header.uefiBoot, IsoUefiBoot::unknown);
}

TEST(IsoInspector, AReaderClaimingMoreThanAskedIsHeldToTheBuffer) {
    const auto image = elToritoImage(20, preflight);
    test::ScriptedIsoStream overclaiming([&image](std::span<std::uint8_t> into) {
        std::copy_n(image.begin(), std::min(into.size(), image.size()), into.begin());
        return RawImageReadResult::bytes(static_cast<std::int64_t>(into.size()) + 1'000'000);
    });
    EXPECT_EQ(IsoInspector::readHeader(overclaiming).bootRecord, IsoBootRecord::elTorito);
}

TEST(IsoInspector, ASourceThatCannotBeOpenedOrDecodedIsUnreadableWithItsText) {
    test::TempDir dir;
    const FileRawImageSource missing(dir.file("gone.iso").string());
    EXPECT_EQ(IsoInspector::readHeader(missing), IsoHeader::unreadable("could not open gone.iso for reading"));
    EXPECT_EQ(IsoInspector::inspect(missing), IsoInspection{IsoInspection::Unreadable{"could not open gone.iso for reading"}});
    // An ISO named as gzip: the decoder's text, not notIso9660.
    const auto named = CompressedRawImageSource::forName(
        "disc.iso.gz", std::make_shared<DataRawImageSource>(elToritoImage(20, preflight)));
    EXPECT_EQ(IsoInspector::readHeader(*named), IsoHeader::unreadable("not a gzip image (bad header)"));
}

TEST(IsoInspector, HeadersRenderInTheCaseForm) {
    const IsoHeader hybrid{IsoInspection{IsoInspection::Isohybrid{}}, 2'097'152, IsoBootRecord::elTorito,
                           IsoUefiBoot::none};
    EXPECT_EQ(render(hybrid), "isoHeader(inspection: isohybrid, declaredBytes: 2097152, bootRecord: elTorito, uefiBoot: none)");
    EXPECT_EQ(render(IsoHeader::unreadable("read failed: \"x\"")),
              "isoHeader(inspection: unreadable(detail: \"read failed: \\\"x\\\"\"), bootRecord: unknown, uefiBoot: unknown)");
}

}  // namespace
}  // namespace marlowick
