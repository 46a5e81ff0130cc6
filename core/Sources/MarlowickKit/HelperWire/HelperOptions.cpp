#include "HelperWire/HelperOptions.hpp"

#include "Text/CaseDescription.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

[[noreturn]] void unknown(std::string field, const std::string& value) {
    throw HelperOptionMappingError({std::move(field), value});
}

PartitionStyle mappedStyle(const std::string& text) {
    if (const auto style = partitionStyleFromRaw(text)) return *style;
    unknown("partitionStyle", text);
}

}  // namespace

HelperOptionMappingError::HelperOptionMappingError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

std::string render(const HelperOptionMappingError::Case& error) {
    return CaseDescription("unknownRawValue").field("field", error.field).field("value", error.value).str();
}

HelperInstallOptions::HelperInstallOptions(std::string filesystem, std::string style, std::int64_t reserve,
                                           bool align, std::optional<std::string> version,
                                           std::optional<std::int64_t> clusterBytes, std::optional<std::string> label)
    : dataFilesystem(std::move(filesystem)),
      partitionStyle(std::move(style)),
      reserveBytesAtEnd(reserve),
      alignTo4K(align),
      ventoyVersion(std::move(version)),
      dataClusterBytes(clusterBytes),
      volumeLabel(std::move(label)) {}

HelperInstallOptions::HelperInstallOptions(const VentoyInstallOptions& options)
    : dataFilesystem(rawValue(options.dataFilesystem())),
      partitionStyle(rawValue(options.partitionStyle())),
      reserveBytesAtEnd(options.reserveBytesAtEnd()),
      alignTo4K(options.alignTo4K()),
      ventoyVersion(options.ventoyVersion()),
      dataClusterBytes(options.dataClusterBytes()),
      volumeLabel(options.volumeLabel()) {}

VentoyInstallOptions HelperInstallOptions::engineOptions() const {
    const auto filesystem = driveFilesystemFromRaw(dataFilesystem);
    if (!filesystem) unknown("dataFilesystem", dataFilesystem);
    const PartitionStyle style = mappedStyle(partitionStyle);
    return VentoyInstallOptions(*filesystem, style, reserveBytesAtEnd, alignTo4K, ventoyVersion, dataClusterBytes,
                                volumeLabel);
}

HelperRemoveOptions::HelperRemoveOptions(std::string fileSystemText, std::string style, std::string label,
                                         std::optional<std::int64_t> clusterBytes)
    : filesystem(std::move(fileSystemText)),
      partitionStyle(std::move(style)),
      volumeLabel(std::move(label)),
      dataClusterBytes(clusterBytes) {}

HelperRemoveOptions::EngineValues HelperRemoveOptions::engineValues() const {
    const auto chosen = driveFilesystemFromRaw(filesystem);
    if (!chosen || !offeredForPlainFormat(*chosen)) unknown("filesystem", filesystem);
    const PartitionStyle style = mappedStyle(partitionStyle);
    // The install options check a cluster size against the file system's bounds the same way.
    (void)VentoyInstallOptions(*chosen, style, 0, true, std::nullopt, dataClusterBytes, std::nullopt);
    const std::int64_t labelLength = utf16Length(volumeLabel);
    if (labelLength > VentoyInstallOptions::maxLabelLength) {
        throw VentoyInstallOptionsError(VentoyInstallOptionsError::VolumeLabelTooLong{labelLength});
    }
    return {*chosen, style};
}

void PrintTo(const HelperInstallOptions& options, std::ostream* os) {
    *os << CaseDescription("HelperInstallOptions")
               .field("dataFilesystem", options.dataFilesystem)
               .field("partitionStyle", options.partitionStyle)
               .field("reserveBytesAtEnd", options.reserveBytesAtEnd)
               .field("alignTo4K", options.alignTo4K)
               .field("ventoyVersion", options.ventoyVersion)
               .field("dataClusterBytes", options.dataClusterBytes)
               .field("volumeLabel", options.volumeLabel)
               .str();
}

void PrintTo(const HelperRemoveOptions& options, std::ostream* os) {
    *os << CaseDescription("HelperRemoveOptions")
               .field("filesystem", options.filesystem)
               .field("partitionStyle", options.partitionStyle)
               .field("volumeLabel", options.volumeLabel)
               .field("dataClusterBytes", options.dataClusterBytes)
               .str();
}

nlohmann::json JsonCoding<HelperInstallOptions>::encode(const HelperInstallOptions& options) {
    return JsonObjectWriter()
        .put("dataFilesystem", options.dataFilesystem)
        .put("partitionStyle", options.partitionStyle)
        .put("reserveBytesAtEnd", options.reserveBytesAtEnd)
        .put("alignTo4K", options.alignTo4K)
        .putOptional("ventoyVersion", options.ventoyVersion)
        .putOptional("dataClusterBytes", options.dataClusterBytes)
        .putOptional("volumeLabel", options.volumeLabel)
        .json();
}

HelperInstallOptions JsonCoding<HelperInstallOptions>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader reader(json, path);
    return HelperInstallOptions(reader.required<std::string>("dataFilesystem"),
                                reader.required<std::string>("partitionStyle"),
                                reader.required<std::int64_t>("reserveBytesAtEnd"), reader.required<bool>("alignTo4K"),
                                reader.optional<std::string>("ventoyVersion"),
                                reader.optional<std::int64_t>("dataClusterBytes"),
                                reader.optional<std::string>("volumeLabel"));
}

nlohmann::json JsonCoding<HelperRemoveOptions>::encode(const HelperRemoveOptions& options) {
    return JsonObjectWriter()
        .put("filesystem", options.filesystem)
        .put("partitionStyle", options.partitionStyle)
        .put("volumeLabel", options.volumeLabel)
        .putOptional("dataClusterBytes", options.dataClusterBytes)
        .json();
}

HelperRemoveOptions JsonCoding<HelperRemoveOptions>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader reader(json, path);
    return HelperRemoveOptions(reader.required<std::string>("filesystem"), reader.required<std::string>("partitionStyle"),
                               reader.required<std::string>("volumeLabel"),
                               reader.optional<std::int64_t>("dataClusterBytes"));
}

}  // namespace marlowick
