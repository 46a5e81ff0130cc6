#include "UI/PlainText.hpp"

#include <QLabel>

namespace marlowick::ui {

QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* plainTextLabel(std::string_view text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    setPlainText(*label, text);
    return label;
}

void setPlainText(QLabel& label, std::string_view text) {
    label.setTextFormat(Qt::PlainText);
    label.setText(qtText(text));
}

}  // namespace marlowick::ui
