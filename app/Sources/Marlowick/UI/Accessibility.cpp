#include "UI/Accessibility.hpp"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QString>
#include <QWidget>

namespace marlowick::ui {
namespace {

// Mark decoration and headings; the accessibility factory below reads them.
constexpr const char* decorativeProperty = "marlowickDecorative";
constexpr const char* headingProperty = "marlowickHeading";

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

// A heading reads its label's text, with the heading role.
class HeadingAccessible : public QAccessibleWidget {
public:
    explicit HeadingAccessible(QLabel* heading) : QAccessibleWidget(heading, QAccessible::Heading), label(heading) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && label->accessibleName().isEmpty()) return label->text();
        return QAccessibleWidget::text(kind);
    }

private:
    QLabel* label;
};

QAccessibleInterface* decorationFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return nullptr;
    if (isHiddenFromAccessibility(*widget)) return new DecorativeAccessible(widget);
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && isHeading(*label)) {
        return new HeadingAccessible(label);
    }
    return nullptr;
}

void installDecorationFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(decorationFactory);
        return true;
    }();
    (void)installed;
}

// Qt makes a widget's accessible interface as soon as the widget announces a change (a
// label's text is set in its constructor) and keeps it for the widget's life. A widget
// marked afterwards must lose that interface, so that the next one comes from the factory.
void forgetInterface(QWidget& widget) {
    if (QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(&widget)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    }
}

}  // namespace

void identify(QWidget& widget, std::string_view identifier, std::string_view label, std::string_view hint) {
    widget.setObjectName(text(identifier));
    if (!label.empty()) widget.setAccessibleName(text(label));
    if (!hint.empty()) widget.setAccessibleDescription(text(hint));
}

void markAsHeading(QLabel& label) {
    installDecorationFactory();
    label.setProperty(headingProperty, true);
    forgetInterface(label);
}

bool isHeading(const QWidget& widget) {
    return widget.property(headingProperty).toBool();
}

void hideFromAccessibility(QWidget& widget) {
    installDecorationFactory();
    widget.setProperty(decorativeProperty, true);
    widget.setFocusPolicy(Qt::NoFocus);
    forgetInterface(widget);
    for (QWidget* child : widget.findChildren<QWidget*>()) forgetInterface(*child);
}

bool isHiddenFromAccessibility(const QWidget& widget) {
    for (const QWidget* current = &widget; current != nullptr; current = current->parentWidget()) {
        if (current->property(decorativeProperty).toBool()) return true;
    }
    return false;
}

}  // namespace marlowick::ui
