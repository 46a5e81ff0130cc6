#include "Format/FormatReport.hpp"

namespace marlowick {

std::string_view rawValue(FormatStage stage) {
    switch (stage) {
    case FormatStage::layout: return "layout";
    case FormatStage::writeMbr: return "writeMbr";
    case FormatStage::verifyMbr: return "verifyMbr";
    case FormatStage::scrubReserved: return "scrubReserved";
    case FormatStage::format: return "format";
    case FormatStage::verifyFormat: return "verifyFormat";
    case FormatStage::flush: return "flush";
    }
    return "layout";
}

}  // namespace marlowick
