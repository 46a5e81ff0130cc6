#include "Block/DeviceFingerprint.hpp"

#include "Text/CaseDescription.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

// Trimmed of Unicode white space and line ends; nothing left is no text.
std::optional<std::string> normalised(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    auto trimmed = trimmedWhiteSpace(*text);
    if (trimmed.empty()) return std::nullopt;
    return trimmed;
}

FingerprintMatch mismatch(DeviceFingerprint::Field field) { return {FingerprintMatch::Mismatch{field}}; }

}  // namespace

DeviceFingerprint::DeviceFingerprint(std::optional<std::string> serial, std::optional<std::string> vendorName,
                                     std::optional<std::string> modelName, std::optional<std::string> revisionText,
                                     std::int64_t capacity, std::int64_t logicalSectorSize, bool removable,
                                     bool internal)
    : serialNumber(normalised(serial)),
      vendor(normalised(vendorName)),
      model(normalised(modelName)),
      revision(normalised(revisionText)),
      capacityBytes(capacity),
      sectorSize(logicalSectorSize),
      isRemovable(removable),
      isInternal(internal) {}

DeviceFingerprint::Strength DeviceFingerprint::strength() const {
    if (serialNumber) return Strength::unit;
    if (vendor || model) return Strength::model;
    return Strength::capacityOnly;
}

FingerprintMatch DeviceFingerprint::match(const DeviceFingerprint& against) const {
    // The numbers first: a different capacity or sector size is the plainest sign of another drive.
    if (capacityBytes != against.capacityBytes) return mismatch(Field::capacity);
    if (sectorSize != against.sectorSize) return mismatch(Field::sectorSize);
    if (serialNumber != against.serialNumber) return mismatch(Field::serialNumber);
    if (vendor != against.vendor) return mismatch(Field::vendor);
    if (model != against.model) return mismatch(Field::model);
    if (revision != against.revision) return mismatch(Field::revision);
    if (isRemovable != against.isRemovable) return mismatch(Field::removable);
    if (isInternal != against.isInternal) return mismatch(Field::internalBus);
    return {FingerprintMatch::Match{}};
}

std::string render(const FingerprintMatch& match) {
    if (const auto* different = std::get_if<FingerprintMatch::Mismatch>(&match.value)) {
        return CaseDescription("mismatch").rawField("field", rawValue(different->field)).str();
    }
    return "match";
}

void PrintTo(const FingerprintMatch& match, std::ostream* os) { *os << render(match); }

void PrintTo(const DeviceFingerprint& f, std::ostream* os) {
    CaseDescription description("DeviceFingerprint");
    const auto text = [&description](std::string_view label, const std::optional<std::string>& value) {
        if (value) {
            description.field(label, *value);
        } else {
            description.rawField(label, "nil");
        }
    };
    text("serialNumber", f.serialNumber);
    text("vendor", f.vendor);
    text("model", f.model);
    text("revision", f.revision);
    description.field("capacityBytes", f.capacityBytes)
        .field("sectorSize", f.sectorSize)
        .field("isRemovable", f.isRemovable)
        .field("isInternal", f.isInternal);
    *os << description.str();
}

}  // namespace marlowick
