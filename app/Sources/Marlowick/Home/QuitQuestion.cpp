#include "Home/QuitQuestion.hpp"

namespace marlowick {
namespace {

using Kind = HomeOperationKind;

// "preparing SanDisk Ultra", "writing a disk image to SanDisk Ultra"
std::string activity(Kind kind, const std::string& drive) {
    switch (kind) {
        case Kind::prepare: return "preparing " + drive;
        case Kind::reinstall: return "reinstalling Ventoy on " + drive;
        case Kind::update: return "updating Ventoy on " + drive;
        case Kind::removeVentoy: return "removing Ventoy from " + drive;
        case Kind::addImage: return "copying an image to " + drive;
        case Kind::writeRawImage: return "writing a disk image to " + drive;
    }
    return drive;
}

std::string leftBehind(Kind kind) {
    switch (kind) {
        case Kind::prepare:
        case Kind::reinstall:
            return "Quitting stops the operation part-way. The drive is left half-prepared and can't be used until "
                   "it is prepared again.";
        case Kind::update:
            return "Quitting stops the operation part-way. The drive's boot files are left half-written, so it may "
                   "not start a computer until Ventoy is updated again.";
        case Kind::removeVentoy:
            return "Quitting stops the operation part-way. The drive is left half-erased and can't be used until it "
                   "is prepared again.";
        case Kind::addImage:
            return "Quitting stops the copy. The image isn't added; the drive and the images already on it stay as "
                   "they were.";
        case Kind::writeRawImage:
            return "Quitting stops the operation part-way. The image is left half-written and the drive can't be "
                   "used until it is written or prepared again.";
    }
    return {};
}

}  // namespace

QuitQuestion QuitQuestion::about(HomeOperationKind kind, const std::string& driveName) {
    return QuitQuestion{"Quit while " + activity(kind, driveName) + "?", leftBehind(kind), "Stop and Quit",
                        "Don't Quit", "Stopping\u2026 Marlowick quits as soon as the operation has stopped."};
}

void PrintTo(const QuitQuestion& question, std::ostream* os) {
    *os << "QuitQuestion(\"" << question.title << "\", \"" << question.message << "\")";
}

}  // namespace marlowick
