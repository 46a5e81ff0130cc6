#include "Home/HomeOperationKind.hpp"

#include <cstddef>

namespace marlowick {
namespace {

struct KindFacts {
    std::string_view caseName;
    std::string_view diagnosticName;
    HomeConfirmationFriction confirmation;
    bool isDestructive;
    bool reformatsDataPartition;
    bool needsVentoyAssets;
};

using Friction = HomeConfirmationFriction;

// In the order of the enumeration.
constexpr std::array<KindFacts, 6> kindFacts{{
    {"prepare", "Prepare", Friction::heavy, true, true, true},
    {"reinstall", "Reinstall", Friction::heavy, true, true, true},
    {"update", "Update", Friction::light, false, false, true},
    {"removeVentoy", "Remove Ventoy", Friction::heavy, true, true, false},
    {"addImage", "Add an image", Friction::none, false, false, false},
    {"writeRawImage", "Write a disk image", Friction::heavy, true, false, false},
}};

const KindFacts& facts(HomeOperationKind kind) { return kindFacts.at(static_cast<std::size_t>(kind)); }

}  // namespace

std::string_view diagnosticName(HomeOperationKind kind) { return facts(kind).diagnosticName; }
HomeConfirmationFriction confirmation(HomeOperationKind kind) { return facts(kind).confirmation; }
bool isDestructive(HomeOperationKind kind) { return facts(kind).isDestructive; }
bool reformatsDataPartition(HomeOperationKind kind) { return facts(kind).reformatsDataPartition; }
bool needsVentoyAssets(HomeOperationKind kind) { return facts(kind).needsVentoyAssets; }
std::string_view caseName(HomeOperationKind kind) { return facts(kind).caseName; }

std::string_view caseName(HomeConfirmationFriction friction) {
    switch (friction) {
        case Friction::heavy: return "heavy";
        case Friction::light: return "light";
        case Friction::none: return "none";
    }
    return "none";
}

void PrintTo(HomeOperationKind kind, std::ostream* os) { *os << caseName(kind); }
void PrintTo(HomeConfirmationFriction friction, std::ostream* os) { *os << caseName(friction); }

}  // namespace marlowick
