#pragma once
// Text that comes from a model or a presentation value is shown as it is: never read as
// rich text, so a drive name or an error detail with "<b>" in it shows those characters.

#include <string_view>

#include <QString>

class QLabel;
class QWidget;

namespace marlowick::ui {

[[nodiscard]] QString qtText(std::string_view text);

// A word-wrapping label showing `text` as plain text.
[[nodiscard]] QLabel* plainTextLabel(std::string_view text, QWidget* parent = nullptr);
void setPlainText(QLabel& label, std::string_view text);

}  // namespace marlowick::ui
