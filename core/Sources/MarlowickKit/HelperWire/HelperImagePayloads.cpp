#include "HelperWire/HelperImagePayloads.hpp"

#include <array>

namespace marlowick {
namespace {

using Listing = HelperImageListing;
using Outcome = HelperAddImageOutcome;

constexpr std::array<std::string_view, 4> listingCaseNames{"success", "notExfat", "unsupported", "readFailed"};
constexpr std::array<std::string_view, 10> outcomeCaseNames{
    "success",     "notExfat",  "notEnoughSpace",     "invalid",          "writeFailed", "readFailed",
    "unsupported", "cancelled", "verificationFailed", "volumeUnavailable"};

struct ListingFromEngine {
    Listing::Case operator()(const ExfatListingResult::Success& r) const {
        std::vector<HelperImageEntry> images;
        images.reserve(r.entries.size());
        for (const ExfatEntry& entry : r.entries) images.emplace_back(entry);
        return Listing::Success{std::move(images)};
    }
    Listing::Case operator()(const ExfatListingResult::Unsupported& r) const { return Listing::Unsupported{r.reason}; }
    Listing::Case operator()(const ExfatListingResult::ReadFailed& r) const {
        return Listing::ReadFailed{HelperBlockError(r.error)};
    }
    Listing::Case operator()(const ExfatListingResult::NotExfat&) const { return Listing::NotExfat{}; }
};

struct ListingEncoder {
    nlohmann::json operator()(const Listing::Success& c) const {
        return writeJsonCase("success", JsonObjectWriter().put("images", c.images).json());
    }
    nlohmann::json operator()(const Listing::NotExfat&) const { return writeJsonCase("notExfat"); }
    nlohmann::json operator()(const Listing::Unsupported& c) const {
        return writeJsonCase("unsupported", JsonObjectWriter().put("reason", c.reason).json());
    }
    nlohmann::json operator()(const Listing::ReadFailed& c) const {
        return writeJsonCase("readFailed", JsonObjectWriter().put("error", c.error).json());
    }
};

struct OutcomeEncoder {
    nlohmann::json operator()(const Outcome::Success& c) const {
        return writeJsonCase("success", JsonObjectWriter()
                                            .put("image", c.image)
                                            .put("freeBytesAfter", c.freeBytesAfter)
                                            .put("totalBytes", c.totalBytes)
                                            .json());
    }
    nlohmann::json operator()(const Outcome::NotExfat&) const { return writeJsonCase("notExfat"); }
    nlohmann::json operator()(const Outcome::NotEnoughSpace& c) const {
        return writeJsonCase("notEnoughSpace",
                             JsonObjectWriter().put("bytesNeeded", c.bytesNeeded).put("bytesFree", c.bytesFree).json());
    }
    nlohmann::json operator()(const Outcome::Invalid& c) const {
        return writeJsonCase("invalid", JsonObjectWriter().put("reason", c.reason).json());
    }
    nlohmann::json operator()(const Outcome::WriteFailed& c) const {
        return writeJsonCase("writeFailed", JsonObjectWriter().put("stage", c.stage).put("error", c.error).json());
    }
    nlohmann::json operator()(const Outcome::ReadFailed& c) const {
        return writeJsonCase("readFailed", JsonObjectWriter().put("error", c.error).json());
    }
    nlohmann::json operator()(const Outcome::Unsupported& c) const {
        return writeJsonCase("unsupported", JsonObjectWriter().put("reason", c.reason).json());
    }
    nlohmann::json operator()(const Outcome::Cancelled&) const { return writeJsonCase("cancelled"); }
    nlohmann::json operator()(const Outcome::VerificationFailed& c) const {
        return writeJsonCase("verificationFailed", JsonObjectWriter().put("reason", c.reason).json());
    }
    nlohmann::json operator()(const Outcome::VolumeUnavailable& c) const {
        return writeJsonCase("volumeUnavailable", JsonObjectWriter().put("detail", c.detail).json());
    }
};

Outcome::Case decodeOutcome(const JsonCase& found) {
    const JsonObjectReader& p = found.payload;
    const std::string_view name = found.name;
    if (name == "success") {
        return Outcome::Success{p.required<HelperImageEntry>("image"), p.required<std::int64_t>("freeBytesAfter"),
                                p.required<std::int64_t>("totalBytes")};
    }
    if (name == "notExfat") return Outcome::NotExfat{};
    if (name == "notEnoughSpace") {
        return Outcome::NotEnoughSpace{p.required<std::int64_t>("bytesNeeded"), p.required<std::int64_t>("bytesFree")};
    }
    if (name == "invalid") return Outcome::Invalid{p.required<std::string>("reason")};
    if (name == "writeFailed") {
        return Outcome::WriteFailed{p.required<std::string>("stage"), p.required<HelperBlockError>("error")};
    }
    if (name == "readFailed") return Outcome::ReadFailed{p.required<HelperBlockError>("error")};
    if (name == "unsupported") return Outcome::Unsupported{p.required<std::string>("reason")};
    if (name == "cancelled") return Outcome::Cancelled{};
    if (name == "verificationFailed") return Outcome::VerificationFailed{p.required<std::string>("reason")};
    return Outcome::VolumeUnavailable{p.required<std::string>("detail")};
}

Listing::Case decodeListing(const JsonCase& found) {
    const JsonObjectReader& p = found.payload;
    if (found.name == "success") return Listing::Success{p.required<std::vector<HelperImageEntry>>("images")};
    if (found.name == "notExfat") return Listing::NotExfat{};
    if (found.name == "unsupported") return Listing::Unsupported{p.required<std::string>("reason")};
    return Listing::ReadFailed{p.required<HelperBlockError>("error")};
}

void printJson(const nlohmann::json& json, std::ostream* os) { *os << serializeJsonDocument(json).value_or("?"); }

}  // namespace

HelperImageListing::HelperImageListing(const ExfatListingResult& result)
    : value(std::visit(ListingFromEngine{}, result.value)) {}

void PrintTo(const HelperImageEntry& entry, std::ostream* os) { printJson(JsonCoding<HelperImageEntry>::encode(entry), os); }
void PrintTo(const HelperImageListing& listing, std::ostream* os) {
    printJson(JsonCoding<HelperImageListing>::encode(listing), os);
}
void PrintTo(const HelperAddImageOutcome& outcome, std::ostream* os) {
    printJson(JsonCoding<HelperAddImageOutcome>::encode(outcome), os);
}

nlohmann::json JsonCoding<HelperImageEntry>::encode(const HelperImageEntry& entry) {
    return JsonObjectWriter()
        .put("path", entry.path)
        .put("name", entry.name)
        .put("sizeBytes", entry.sizeBytes)
        .put("isDirectory", entry.isDirectory)
        .json();
}

HelperImageEntry JsonCoding<HelperImageEntry>::decode(const nlohmann::json& json, const JsonPath& path) {
    const JsonObjectReader reader(json, path);
    return HelperImageEntry(reader.required<std::string>("path"), reader.required<std::string>("name"),
                            reader.required<std::int64_t>("sizeBytes"), reader.required<bool>("isDirectory"));
}

nlohmann::json JsonCoding<HelperImageListing>::encode(const HelperImageListing& listing) {
    return std::visit(ListingEncoder{}, listing.value);
}

HelperImageListing JsonCoding<HelperImageListing>::decode(const nlohmann::json& json, const JsonPath& path) {
    return HelperImageListing(decodeListing(readJsonCase(json, path, listingCaseNames)));
}

nlohmann::json JsonCoding<HelperAddImageOutcome>::encode(const HelperAddImageOutcome& outcome) {
    return std::visit(OutcomeEncoder{}, outcome.value);
}

HelperAddImageOutcome JsonCoding<HelperAddImageOutcome>::decode(const nlohmann::json& json, const JsonPath& path) {
    return HelperAddImageOutcome{decodeOutcome(readJsonCase(json, path, outcomeCaseNames))};
}

}  // namespace marlowick
