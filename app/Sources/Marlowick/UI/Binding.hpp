#pragma once
// A two-way binding to a value a model owns: the view reads it through `get` whenever it
// redraws and writes every edit through `set`. The view keeps no copy of its own.

#include <functional>

namespace marlowick::ui {

template <class T>
struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

}  // namespace marlowick::ui
