#include "UI/Accessibility.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QString>
#include <QWidget>

namespace marlowick::ui {
namespace {

// Marks decoration; the accessibility factory below reads it.
constexpr const char* decorativeProperty = "marlowickDecorative";

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// Decoration reports itself invisible, without name or children, so screen readers pass
// over it and everything inside it.
class DecorativeAccessible : public QAccessibleWidget {
public:
    explicit DecorativeAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::NoRole) {}
    QAccessible::State state() const override {
        QAccessible::State value = QAccessibleWidget::state();
        value.invisible = true;
        value.focusable = false;
        return value;
    }
    QString text(QAccessible::Text) const override { return {}; }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
};

QAccessibleInterface* decorationFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || !isHiddenFromAccessibility(*widget)) return nullptr;
    return new DecorativeAccessible(widget);
}

void installDecorationFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(decorationFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace

void identify(QWidget& widget, std::string_view identifier, std::string_view label, std::string_view hint) {
    widget.setObjectName(text(identifier));
    if (!label.empty()) widget.setAccessibleName(text(label));
    if (!hint.empty()) widget.setAccessibleDescription(text(hint));
}

void hideFromAccessibility(QWidget& widget) {
    installDecorationFactory();
    widget.setProperty(decorativeProperty, true);
    widget.setFocusPolicy(Qt::NoFocus);
}

bool isHiddenFromAccessibility(const QWidget& widget) {
    for (const QWidget* current = &widget; current != nullptr; current = current->parentWidget()) {
        if (current->property(decorativeProperty).toBool()) return true;
    }
    return false;
}

}  // namespace marlowick::ui
