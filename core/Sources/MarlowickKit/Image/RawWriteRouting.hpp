#pragma once
// Decides what writing an inspected image over a whole drive should do: write it as it is,
// refuse it, or send it to a Ventoy drive instead; and supplies the sentence for a blocked
// choice and the note on how the written drive will boot. Pure: name and header in, verdict out
// (or name and source, whose header is read first).

#include "Image/IsoHeader.hpp"
#include "Image/RawImageSource.hpp"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

namespace marlowick::RawWriteRouting {

enum class Bootability { biosAndUefi, biosOnly, uefiUnconfirmed, unverified };

struct RefusalReason {
    struct Unreadable {
        std::string detail;
        bool operator==(const Unreadable&) const = default;
    };
    struct NotADiskImage {
        bool operator==(const NotADiskImage&) const = default;
    };
    using Case = std::variant<Unreadable, NotADiskImage>;

    Case value;
    bool operator==(const RefusalReason&) const = default;
};

struct Verdict {
    struct RawWrite {
        Bootability bootability;
        bool operator==(const RawWrite&) const = default;
    };
    struct Refuse {
        RefusalReason reason;
        bool operator==(const Refuse&) const = default;
    };
    // A disc image that belongs on a Ventoy drive.
    struct UseMultiboot {
        bool operator==(const UseMultiboot&) const = default;
    };
    using Case = std::variant<RawWrite, Refuse, UseMultiboot>;

    Case value;
    bool operator==(const Verdict&) const = default;

    // Why the choice is blocked (a refusal, or the advice to use Ventoy); none for a raw write.
    [[nodiscard]] std::optional<std::string> blockedMessage(IsoBootRecord bootRecord) const;
    // How the written drive will boot; only for a raw write, and not for BIOS-only images,
    // whose warning says it instead.
    [[nodiscard]] std::optional<std::string> bootabilityNote() const;
};

// `name` is the picked file's name, used only when the image is not ISO 9660: a raw image
// name (RawImageNames::isRawImage: disk.img, DISK.IMG.GZ, disk.img.xz) is written
// unverified, anything else is refused.
[[nodiscard]] Verdict route(std::string_view name, const IsoInspection& inspection, IsoUefiBoot uefiBoot);
[[nodiscard]] Verdict route(std::string_view name, const IsoHeader& header);
// Reads the header through the source (IsoInspector::readHeader: open, inspect, close) and
// routes it; a source that cannot be opened is refused as unreadable. For a compressed
// file, pass the decompressing source.
[[nodiscard]] Verdict route(std::string_view name, const RawImageSource& source);

[[nodiscard]] std::string_view render(Bootability bootability);  // "biosAndUefi"
[[nodiscard]] std::string render(const RefusalReason& reason);   // "unreadable(detail: \"…\")"
[[nodiscard]] std::string render(const Verdict& verdict);        // "rawWrite(bootability: biosOnly)"
void PrintTo(Bootability bootability, std::ostream* os);
void PrintTo(const Verdict& verdict, std::ostream* os);

}  // namespace marlowick::RawWriteRouting
