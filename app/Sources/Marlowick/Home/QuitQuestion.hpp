#pragma once
// What the window asks before it quits while an operation runs, and what it shows while it
// waits for the operation to stop: what runs, on which drive, and what stopping it leaves
// behind. The safe answer keeps the operation running. Pure: a kind and a drive's name in,
// plain sentences out.

#include <ostream>
#include <string>

#include "Home/HomeOperationKind.hpp"

namespace marlowick {

struct QuitQuestion {
    std::string title;      // "Quit while preparing SanDisk Ultra?"
    std::string message;    // what stopping part-way leaves on the drive
    std::string stopLabel;  // the answer that stops the operation and quits
    std::string keepLabel;  // the safe answer: nothing stops, nothing quits
    std::string waiting;    // shown from the answer until the operation has stopped

    [[nodiscard]] static QuitQuestion about(HomeOperationKind kind, const std::string& driveName);

    bool operator==(const QuitQuestion&) const = default;
};

void PrintTo(const QuitQuestion& question, std::ostream* os);

}  // namespace marlowick
