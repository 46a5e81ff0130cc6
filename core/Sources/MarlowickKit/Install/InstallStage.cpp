#include "Install/InstallStage.hpp"

namespace marlowick {

std::string_view rawValue(InstallStage stage) {
    switch (stage) {
    case InstallStage::layout: return "layout";
    case InstallStage::writeMbr: return "writeMbr";
    case InstallStage::verifyMbr: return "verifyMbr";
    case InstallStage::writeCore: return "writeCore";
    case InstallStage::verifyCore: return "verifyCore";
    case InstallStage::formatPart1: return "formatPart1";
    case InstallStage::writeVentoyDisk: return "writeVentoyDisk";
    case InstallStage::verifyVentoyDisk: return "verifyVentoyDisk";
    case InstallStage::flush: return "flush";
    }
    return "layout";
}

void PrintTo(InstallStage stage, std::ostream* os) { *os << rawValue(stage); }

}  // namespace marlowick
