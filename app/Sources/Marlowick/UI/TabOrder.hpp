#pragma once
// Tab visits the controls of a window in the order they were made. Where a view makes them
// in another order than it lays them out (a row's label made after its control, a panel
// beside content that is made again), it puts them back in reading order here.

#include <initializer_list>

class QWidget;

namespace marlowick::ui {

// Tab visits every control of each region (the region itself and what it holds) in the
// order the regions are given; within a region the controls keep their order. Null regions
// are skipped. Call once the regions' controls are made.
void orderTabStops(std::initializer_list<QWidget*> regions);

}  // namespace marlowick::ui
