#include "UI/TabOrder.hpp"

#include <vector>

#include <QWidget>

namespace marlowick::ui {
namespace {

// The controls Tab can stop at in `region`, in the focus chain's order.
std::vector<QWidget*> stopsOf(QWidget& region) {
    std::vector<QWidget*> stops;
    const auto takes = [](const QWidget& widget) { return (widget.focusPolicy() & Qt::TabFocus) != 0; };
    if (takes(region)) stops.push_back(&region);
    // The chain runs through the whole window and back; the region's own may lie apart in it.
    for (QWidget* next = region.nextInFocusChain(); next != nullptr && next != &region;
         next = next->nextInFocusChain()) {
        if (region.isAncestorOf(next) && takes(*next)) stops.push_back(next);
    }
    return stops;
}

}  // namespace

void orderTabStops(std::initializer_list<QWidget*> regions) {
    QWidget* previous = nullptr;
    for (QWidget* region : regions) {
        if (region == nullptr) continue;
        for (QWidget* stop : stopsOf(*region)) {
            if (previous != nullptr) QWidget::setTabOrder(previous, stop);
            previous = stop;
        }
    }
}

}  // namespace marlowick::ui
