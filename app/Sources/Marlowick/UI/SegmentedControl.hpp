#pragma once
// A row of two or more joined buttons of which exactly one is chosen: the segmented picker.
// Each segment is a checkable button reachable by Tab; Space or a click chooses it.

#include <string>
#include <vector>

#include <QWidget>

class QButtonGroup;
class QPushButton;

namespace marlowick::ui {

class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    // `identifier` names the control; each segment is named `identifier` + "." + its title.
    SegmentedControl(const QString& identifier, const std::vector<std::string>& titles, QWidget* parent = nullptr);

    [[nodiscard]] int currentIndex() const;
    // Chooses a segment without emitting chosen().
    void setCurrentIndex(int index);
    [[nodiscard]] QPushButton* segment(int index) const;

signals:
    // A segment was chosen by the user.
    void chosen(int index);

private:
    QButtonGroup* group;
    std::vector<QPushButton*> segments;
};

}  // namespace marlowick::ui
