#include "Image/RawWriteRouting.hpp"

#include "Image/RawWriteMessages.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

using RawWriteRouting::Bootability;
using RawWriteRouting::RefusalReason;
using RawWriteRouting::Verdict;

const IsoInspection hybrid{IsoInspection::Isohybrid{}};
const IsoInspection plain{IsoInspection::PlainIso9660{}};
const IsoInspection foreign{IsoInspection::NotIso9660{}};
const Verdict notADiskImage{Verdict::Refuse{RefusalReason{RefusalReason::NotADiskImage{}}}};
const Verdict multiboot{Verdict::UseMultiboot{}};

Verdict rawWrite(Bootability bootability) { return Verdict{Verdict::RawWrite{bootability}}; }

std::optional<std::string> text(std::optional<std::string_view> view) {
    if (!view) return std::nullopt;
    return std::string(*view);
}

TEST(RawWriteRouting, RoutesEachInspectionByItsEvidenceOrName) {
    struct Row {
        const char* name;
        IsoInspection inspection;
        IsoUefiBoot uefiBoot;
        Verdict expected;
    };
    const Row rows[] = {
        {"linux.iso", hybrid, IsoUefiBoot::present, rawWrite(Bootability::biosAndUefi)},
        {"linux.iso", hybrid, IsoUefiBoot::none, rawWrite(Bootability::biosOnly)},
        {"linux.iso", hybrid, IsoUefiBoot::unknown, rawWrite(Bootability::uefiUnconfirmed)},
        // A plain ISO goes to Ventoy whatever its name or evidence.
        {"windows.iso", plain, IsoUefiBoot::present, multiboot},
        {"disk.img", plain, IsoUefiBoot::none, multiboot},
        {"disk.img", foreign, IsoUefiBoot::unknown, rawWrite(Bootability::unverified)},
        {"backup.IMG.XZ", foreign, IsoUefiBoot::unknown, rawWrite(Bootability::unverified)},
        {"DISK.IMG.GZ", foreign, IsoUefiBoot::present, rawWrite(Bootability::unverified)},
        {"  disk.img.gz\n", foreign, IsoUefiBoot::unknown, rawWrite(Bootability::unverified)},
        {"disk.img \t.xz", foreign, IsoUefiBoot::unknown, rawWrite(Bootability::unverified)},
        {"disk.img\u00A0", foreign, IsoUefiBoot::unknown, rawWrite(Bootability::unverified)},
        {"notes.txt", foreign, IsoUefiBoot::unknown, notADiskImage},
        {"image.img.zip", foreign, IsoUefiBoot::unknown, notADiskImage},
        {"disk.img.gz.xz", foreign, IsoUefiBoot::unknown, notADiskImage},  // one suffix only
        {"image.iso", foreign, IsoUefiBoot::unknown, notADiskImage},
        {".gz", foreign, IsoUefiBoot::unknown, notADiskImage},
        {"", foreign, IsoUefiBoot::unknown, notADiskImage},
        {"disk.img", IsoInspection{IsoInspection::Unreadable{"read failed: Input/output error"}}, IsoUefiBoot::present,
         Verdict{Verdict::Refuse{RefusalReason{RefusalReason::Unreadable{"read failed: Input/output error"}}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RawWriteRouting::route(row.name, row.inspection, row.uefiBoot), row.expected);
        const IsoHeader header{row.inspection, std::nullopt, IsoBootRecord::unknown, row.uefiBoot};
        EXPECT_EQ(RawWriteRouting::route(row.name, header), row.expected);
    }
}

TEST(RawWriteRouting, BlockedMessagesAndBootabilityNotes) {
    const Verdict unreadable{Verdict::Refuse{RefusalReason{RefusalReason::Unreadable{"secret detail"}}}};
    struct Row {
        const char* name;
        Verdict verdict;
        IsoBootRecord bootRecord;
        std::optional<std::string_view> blocked;
        std::optional<std::string_view> note;
    };
    const Row rows[] = {
        {"biosAndUefi", rawWrite(Bootability::biosAndUefi), IsoBootRecord::none, std::nullopt,
         "This image boots on BIOS and UEFI machines once it's written."},
        {"biosOnly", rawWrite(Bootability::biosOnly), IsoBootRecord::elTorito, std::nullopt, std::nullopt},
        {"uefiUnconfirmed", rawWrite(Bootability::uefiUnconfirmed), IsoBootRecord::unknown, std::nullopt,
         "This image is built to start a PC from a USB drive once it's written."},
        {"unverified", rawWrite(Bootability::unverified), IsoBootRecord::unknown, std::nullopt,
         "This image is written exactly as-is. Marlowick can't tell whether it boots — that depends on the image."},
        {"unreadable", unreadable, IsoBootRecord::elTorito,
         "Marlowick couldn't read that file. Check that it finished downloading and try again.", std::nullopt},
        {"notADiskImage", notADiskImage, IsoBootRecord::none,
         "That file isn't a disk image Marlowick can write. Pick an .iso, or an .img (it may be compressed as "
         ".img.xz or .img.gz).",
         std::nullopt},
        {"multibootWithoutBootRecord", multiboot, IsoBootRecord::none,
         "This disc image can't be written directly to a drive. Prepare the drive with Ventoy instead, then add "
         "this image to it.",
         std::nullopt},
        {"multibootElTorito", multiboot, IsoBootRecord::elTorito, RawWriteMessages::useMultiboot, std::nullopt},
        {"multibootUnknown", multiboot, IsoBootRecord::unknown,
         "This disc image doesn't boot when it's written directly to a drive — Windows installers and most "
         "non-Linux ISOs work this way. Prepare the drive with Ventoy instead, then add this image to it: it'll "
         "boot from there.",
         std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.verdict.blockedMessage(row.bootRecord), text(row.blocked));
        EXPECT_EQ(row.verdict.bootabilityNote(), text(row.note));
    }
}

TEST(RawWriteRouting, RendersVerdictsInTheCaseForm) {
    EXPECT_EQ(render(rawWrite(Bootability::uefiUnconfirmed)), "rawWrite(bootability: uefiUnconfirmed)");
    EXPECT_EQ(render(Verdict{Verdict::Refuse{RefusalReason{RefusalReason::Unreadable{"not a gzip image (bad header)"}}}}),
              "refuse(reason: unreadable(detail: \"not a gzip image (bad header)\"))");
    EXPECT_EQ(render(notADiskImage), "refuse(reason: notADiskImage)");
    EXPECT_EQ(render(multiboot), "useMultiboot");
}

}  // namespace
}  // namespace marlowick
