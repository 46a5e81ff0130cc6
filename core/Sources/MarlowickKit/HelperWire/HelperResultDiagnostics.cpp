// The technical texts of a result: its one-word outcome and the lines that explain it, for
// the log and the diagnostic report. Never localised.

#include "Block/BlockErrorText.hpp"
#include "HelperWire/HelperResult.hpp"

namespace marlowick {
namespace {

using Result = HelperResult;
using Outcome = HelperAddImageOutcome;
using Listing = HelperImageListing;
using Lines = std::vector<std::string>;

constexpr std::string_view notReadableExfat = "the data partition is not a readable exFAT volume";

struct OutcomeWord {
    std::string operator()(const Result::Detected&) const { return "detected"; }
    std::string operator()(const Result::DetectReadFailed&) const { return "unreadable"; }
    std::string operator()(const Result::DriveOperation& r) const {
        return r.report.overallSuccess ? "succeeded" : "failed";
    }
    std::string operator()(const Result::AddImage& r) const {
        return std::holds_alternative<Outcome::Success>(r.outcome.value) ? "succeeded" : "failed";
    }
    std::string operator()(const Result::ImageListing& r) const {
        return std::holds_alternative<Listing::Success>(r.listing.value) ? "succeeded" : "failed";
    }
    std::string operator()(const Result::Failed& r) const { return r.error.isRefusal() ? "refused" : "failed"; }
};

struct StatusLine {
    std::string operator()(const HelperDriveStatus::NotVentoy& s) const { return "not a Ventoy drive: " + s.reason; }
    std::string operator()(const HelperDriveStatus::Ventoy& s) const {
        return "Ventoy drive, installed version " + s.installedVersion.value_or("unreadable");
    }
    std::string operator()(const HelperDriveStatus::IncompatibleVentoy& s) const {
        return "incompatible Ventoy layout: " + s.reason;
    }
};

struct AddImageLines {
    Lines operator()(const Outcome::Success&) const { return {}; }
    Lines operator()(const Outcome::NotExfat&) const { return {std::string(notReadableExfat)}; }
    Lines operator()(const Outcome::NotEnoughSpace& o) const {
        return {"not enough space: needs " + std::to_string(o.bytesNeeded) + " bytes, " + std::to_string(o.bytesFree) +
                " free"};
    }
    Lines operator()(const Outcome::Invalid& o) const { return {"rejected: " + o.reason}; }
    Lines operator()(const Outcome::WriteFailed& o) const {
        return {"write failed at " + o.stage + ": " + diagnosticDescription(o.error)};
    }
    Lines operator()(const Outcome::ReadFailed& o) const { return {"read-back failed: " + diagnosticDescription(o.error)}; }
    Lines operator()(const Outcome::Unsupported& o) const { return {"unsupported: " + o.reason}; }
    Lines operator()(const Outcome::Cancelled&) const { return {"cancelled \u2014 the partial copy was removed"}; }
    Lines operator()(const Outcome::VerificationFailed& o) const {
        return {"verification failed, copy removed: " + o.reason};
    }
    Lines operator()(const Outcome::VolumeUnavailable& o) const { return {"data partition unavailable: " + o.detail}; }
};

struct ListingLines {
    Lines operator()(const Listing::Success&) const { return {}; }
    Lines operator()(const Listing::NotExfat&) const { return {std::string(notReadableExfat)}; }
    Lines operator()(const Listing::Unsupported& l) const { return {"unsupported: " + l.reason}; }
    Lines operator()(const Listing::ReadFailed& l) const { return {"listing read failed: " + diagnosticDescription(l.error)}; }
};

struct DetailLines {
    Lines operator()(const Result::Detected& r) const { return {std::visit(StatusLine{}, r.status.value)}; }
    Lines operator()(const Result::DetectReadFailed& r) const {
        return {"detect read failed: " + diagnosticDescription(r.error)};
    }
    Lines operator()(const Result::DriveOperation& r) const {
        const HelperDriveOperationReport& report = r.report;
        Lines lines;
        if (report.abortedReason) lines.push_back("refused before writing: " + *report.abortedReason);
        if (report.wasCancelled) lines.emplace_back("cancelled mid-write");
        if (report.completed && !report.overallSuccess) lines.emplace_back("a stage wrote but did not verify");
        lines.insert(lines.end(), report.notes.begin(), report.notes.end());
        return lines;
    }
    Lines operator()(const Result::AddImage& r) const { return std::visit(AddImageLines{}, r.outcome.value); }
    Lines operator()(const Result::ImageListing& r) const { return std::visit(ListingLines{}, r.listing.value); }
    Lines operator()(const Result::Failed& r) const { return {diagnosticDescription(r.error)}; }
};

}  // namespace

std::string HelperResult::diagnosticOutcome() const { return std::visit(OutcomeWord{}, value); }

std::vector<std::string> HelperResult::diagnosticDetails() const { return std::visit(DetailLines{}, value); }

}  // namespace marlowick
