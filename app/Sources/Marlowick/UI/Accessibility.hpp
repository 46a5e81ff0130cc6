#pragma once
// How a widget names itself to tests and to assistive technology. One call per element:
// the identifier (screen.area.element) is the widget's objectName, the spoken label its
// accessibleName, the hint its accessibleDescription. Decorative widgets (backdrops,
// the brand header, icons beside text) are taken out of the accessibility tree.

#include <string_view>

class QLabel;
class QWidget;

namespace marlowick::ui {

// Sets the identifier, and the label and hint when they are not empty.
void identify(QWidget& widget, std::string_view identifier, std::string_view label = {},
              std::string_view hint = {});

// The label is a heading: assistive technology lists it among the window's headings.
void markAsHeading(QLabel& label);
[[nodiscard]] bool isHeading(const QWidget& widget);

// The widget and its children are decoration: nothing of them is spoken.
void hideFromAccessibility(QWidget& widget);
[[nodiscard]] bool isHiddenFromAccessibility(const QWidget& widget);

}  // namespace marlowick::ui
