#pragma once
// The card listing the image files on a prepared drive, with their number and total size,
// and two actions: re-read the list, and open the drive's file browser. It shows exactly
// the entries it is given, in their order (folders too: nothing is sorted or filtered),
// and only the buttons whose action it was given.

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "HelperWire/HelperImagePayloads.hpp"

namespace marlowick {

class DriveImagesView : public QWidget {
    Q_OBJECT
public:
    using Action = std::function<void()>;

    explicit DriveImagesView(std::vector<HelperImageEntry> images, Action onRefresh = {}, Action onBrowse = {},
                             QWidget* parent = nullptr);

    // The path without its leading "/", or the entry's name when nothing is left.
    [[nodiscard]] static std::string shownName(const HelperImageEntry& entry);
    // The formatted sum of every entry's size.
    [[nodiscard]] static std::string totalSizeText(const std::vector<HelperImageEntry>& images);
    // "3 · 9 GB".
    [[nodiscard]] static std::string summaryText(const std::vector<HelperImageEntry>& images);

    static constexpr int listMaximumHeight = 150;
};

}  // namespace marlowick
