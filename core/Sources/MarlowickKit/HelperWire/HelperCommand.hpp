#pragma once
// The one request the application sends to the helper per run. It names the drive, the
// operation and everything the operation needs, so the helper keeps no state between runs.
//   {"detect":{"disk":{…}}}   {"writeRawImage":{"disk":{…},"sourcePath":"/home/u/a.img","verify":true}}

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "HelperWire/HelperAssetRefSet.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "HelperWire/HelperOptions.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"
#include "HelperWire/JsonCoding.hpp"

namespace marlowick {

struct HelperCommand {
    struct Detect {
        HelperDiskRef disk;
        bool operator==(const Detect&) const = default;
    };
    struct Prepare {
        HelperDiskRef disk;
        HelperAssetRefSet assets;
        HelperInstallOptions options;
        std::optional<std::int32_t> diskSignature;  // absent: the helper makes one
        bool operator==(const Prepare&) const = default;
    };
    // Rewrites the boot code and EFI partition, keeping the data partition.
    struct Update {
        HelperDiskRef disk;
        HelperAssetRefSet assets;
        bool operator==(const Update&) const = default;
    };
    struct RemoveVentoy {
        HelperDiskRef disk;
        HelperRemoveOptions options;
        bool operator==(const RemoveVentoy&) const = default;
    };
    // Answered by the application through the mounted volume; the helper refuses it.
    struct AddImage {
        HelperDiskRef disk;
        HelperVentoyLayout ventoyLayout;
        std::string name;
        std::int64_t sizeBytes = 0;
        std::string sourcePath;
        bool verifyContentHash = false;
        bool operator==(const AddImage&) const = default;
    };
    struct ListImages {
        HelperDiskRef disk;
        HelperVentoyLayout ventoyLayout;
        bool operator==(const ListImages&) const = default;
    };
    struct WriteRawImage {
        HelperDiskRef disk;
        std::string sourcePath;
        bool verify = false;
        bool operator==(const WriteRawImage&) const = default;
    };
    using Case = std::variant<Detect, Prepare, Update, RemoveVentoy, AddImage, ListImages, WriteRawImage>;

    Case value;

    // Every command names its drive.
    [[nodiscard]] const HelperDiskRef& disk() const;
    // The case name: "detect", "prepare", …
    [[nodiscard]] std::string_view caseName() const;
    // The name logs and the diagnostic report give the command: its case name.
    [[nodiscard]] std::string_view diagnosticName() const { return caseName(); }
    // False for detect and listImages, which only read the drive; true for every other case.
    [[nodiscard]] bool writesToDevice() const;
    // The image file of a writeRawImage; none for every other case.
    [[nodiscard]] std::optional<std::string> rawWriteSourcePath() const;

    bool operator==(const HelperCommand&) const = default;
};

void PrintTo(const HelperCommand& command, std::ostream* os);

// Paths holding a NUL byte are refused; so is a disk signature outside 32 bits.
template <>
struct JsonCoding<HelperCommand> {
    static nlohmann::json encode(const HelperCommand& command);
    static HelperCommand decode(const nlohmann::json& json, const JsonPath& path);
};

}  // namespace marlowick
