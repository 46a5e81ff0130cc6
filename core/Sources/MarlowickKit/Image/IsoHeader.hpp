#pragma once
// What the first bytes of a disk image say about it: its kind, the size it declares,
// its El Torito boot record and any evidence that it boots on UEFI machines.
// Plain values; the inspector fills them, the raw-write routing reads them.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

namespace marlowick {

struct IsoInspection {
    // The image could not be opened or read; `detail` is the reader's own text.
    struct Unreadable {
        std::string detail;
        bool operator==(const Unreadable&) const = default;
    };
    // ISO 9660 with a boot sector at 510-511: written to a drive, it boots as a disk.
    struct Isohybrid {
        bool operator==(const Isohybrid&) const = default;
    };
    // ISO 9660 that only boots from optical media.
    struct PlainIso9660 {
        bool operator==(const PlainIso9660&) const = default;
    };
    struct NotIso9660 {
        bool operator==(const NotIso9660&) const = default;
    };
    using Case = std::variant<Unreadable, Isohybrid, PlainIso9660, NotIso9660>;

    Case value;
    bool operator==(const IsoInspection&) const = default;
};

// `none`: the volume descriptor set ends without a boot record.
enum class IsoBootRecord { elTorito, none, unknown };

enum class IsoUefiBoot { present, none, unknown };

struct IsoHeader {
    IsoInspection inspection;
    std::optional<std::int64_t> declaredBytes;  // volume space size × logical block size
    IsoBootRecord bootRecord = IsoBootRecord::unknown;
    IsoUefiBoot uefiBoot = IsoUefiBoot::unknown;

    // The header of an image that could not be opened or read.
    [[nodiscard]] static IsoHeader unreadable(std::string detail);
    // The header of anything that is not ISO 9660 (short, truncated or foreign bytes).
    [[nodiscard]] static IsoHeader notIso9660();

    bool operator==(const IsoHeader&) const = default;
};

[[nodiscard]] std::string render(const IsoInspection& inspection);  // "unreadable(detail: \"…\")", "isohybrid"
[[nodiscard]] std::string_view render(IsoBootRecord bootRecord);     // "elTorito"
[[nodiscard]] std::string_view render(IsoUefiBoot uefiBoot);         // "present"
// "isoHeader(inspection: isohybrid, declaredBytes: 2097152, bootRecord: elTorito, uefiBoot: none)";
// an absent declared size is left out.
[[nodiscard]] std::string render(const IsoHeader& header);

void PrintTo(const IsoInspection& inspection, std::ostream* os);
void PrintTo(IsoBootRecord bootRecord, std::ostream* os);
void PrintTo(IsoUefiBoot uefiBoot, std::ostream* os);
void PrintTo(const IsoHeader& header, std::ostream* os);

}  // namespace marlowick
