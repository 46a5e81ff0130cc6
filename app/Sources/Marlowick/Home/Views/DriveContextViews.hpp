#pragma once
// Small views the home screen and its sheets share. None reads a model: each draws the
// values it is given.
// - DriveContextHeader: the card naming the selected drive, its size and a status chip.
// - LargeDriveCautionBanner: the warning before an erasing operation on a large drive.
// - InfoHint: an information button beside an option label, with an explaining popover.
// - StateInfoLink: the "What does this mean?" link under the hero, explaining the state.
// Sizes are written by driveSizeText, so a drive shows one size text everywhere.

#include <cstdint>
#include <string>

#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include "Design/BrandColor.hpp"
#include "Home/DriveSizeText.hpp"
#include "Home/HomeStatePresentation.hpp"

namespace marlowick {

// The status chip: symbol and label in the caption font and the status colour, on a capsule
// of that colour at 14 % opacity.
class StatusChip : public QWidget {
    Q_OBJECT
public:
    explicit StatusChip(DriveContextStatus status, QWidget* parent = nullptr);
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] const DriveContextStatus& status() const { return shown; }
    void setStatus(DriveContextStatus status);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DriveContextStatus shown;
};

class DriveContextHeader : public QWidget {
    Q_OBJECT
public:
    DriveContextHeader(const std::string& deviceName, std::int64_t capacityBytes, DriveContextStatus status,
                       QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class LargeDriveCautionBanner : public QWidget {
    Q_OBJECT
public:
    // The identifier is the caller's: "home.hero.largeDriveCaution" or "home.confirm.largeDriveCaution".
    LargeDriveCautionBanner(std::int64_t capacityBytes, const std::string& accessibilityID, QWidget* parent = nullptr);

    [[nodiscard]] static std::string text(std::int64_t capacityBytes);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class InfoHint : public QToolButton {
    Q_OBJECT
public:
    InfoHint(const std::string& label, const std::string& help, QWidget* parent = nullptr);

private:
    QString labelText;
    QString helpText;
};

class StateInfoLink : public QPushButton {
    Q_OBJECT
public:
    explicit StateInfoLink(StateDetail detail, QWidget* parent = nullptr);

private:
    StateDetail shown;
};

}  // namespace marlowick
