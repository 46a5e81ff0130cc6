#include "UI/Sheet.hpp"

#include <algorithm>

#include <QChildEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "UI/WindowPlacement.hpp"

namespace marlowick::ui {
namespace {

// The height `widget` needs at `width`: wrapped texts are measured at that width.
int heightAt(const QWidget& widget, int width) {
    const QLayout* layout = widget.layout();
    if (layout == nullptr) return widget.sizeHint().height();
    const int wanted =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
    return std::max(wanted, layout->totalMinimumSize().height());
}

QString partName(const QString& sheetName, const char* part) {
    QString base = sheetName;
    if (base.endsWith(QStringLiteral(".sheet"))) base.chop(6);
    return base + QLatin1Char('.') + QLatin1String(part);
}

}  // namespace

Sheet::Sheet(QWidget& window, const QString& identifier) : QDialog(&window, Qt::Sheet) {
    setObjectName(identifier);
    setWindowModality(Qt::WindowModal);
    // It follows its window: centred on it, and no taller than it.
    window.window()->installEventFilter(this);
}

QWidget& Sheet::ownerWindow() const { return *parentWidget()->window(); }

void Sheet::setParts(QWidget* body, QWidget* footer, int width) {
    partsWidth = width;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    area = new QScrollArea(this);
    area->setObjectName(partName(objectName(), "body"));
    // Not a control: Tab goes to what the body holds, and the body scrolls to show it.
    area->setFocusPolicy(Qt::NoFocus);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The sheet's own colour shows through the body.
    area->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
    body->setAutoFillBackground(false);
    area->setWidget(body);
    body->installEventFilter(this);
    column->addWidget(area, 1);
    // While the body scrolls, a line sets the footer apart from the text cut at its edge.
    rule = new QFrame(this);
    rule->setFixedHeight(1);
    rule->setAutoFillBackground(true);
    QPalette line = rule->palette();
    line.setColor(QPalette::Window, BrandStyle::color(BrandColor::border));
    rule->setPalette(line);
    rule->hide();
    column->addWidget(rule);
    footerPart = footer;
    if (footer != nullptr) {
        footer->setObjectName(partName(objectName(), "footer"));
        footer->setParent(this);
        footer->setAutoFillBackground(false);
        footer->installEventFilter(this);
        column->addWidget(footer, 0);
    }
    fit();
}

void Sheet::fit() {
    fitQueued = false;
    QWidget& window = ownerWindow();
    if (area != nullptr && area->widget() != nullptr) {
        QWidget& body = *area->widget();
        const int footerHeight = footerPart != nullptr ? heightAt(*footerPart, partsWidth) : 0;
        const int wanted = heightAt(body, partsWidth) + footerHeight;
        const int room = window.height() - 2 * windowMargin;
        const bool scrolls = wanted > room;
        rule->setVisible(scrolls);
        // Scrolling, the body has its scroll bar beside it; the footer keeps its own height.
        setFixedSize(partsWidth, scrolls ? std::max(room, footerHeight + 2 * windowMargin) : wanted);
    }
    centreOn(*this, &window);
}

void Sheet::scheduleFit() {
    if (fitQueued) return;
    fitQueued = true;
    QTimer::singleShot(0, this, [this] {
        if (fitQueued) fit();
    });
}

void Sheet::makeReturnSafe() {
    returnSafe = true;
    clearDefaultButtons();
}

void Sheet::clearDefaultButtons() {
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setDefault(false);
        button->setAutoDefault(false);
        button->removeEventFilter(this);
        button->installEventFilter(this);
    }
}

void Sheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A button box makes its accept button the default when it is first shown.
    if (returnSafe) clearDefaultButtons();
    fit();
}

bool Sheet::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == &ownerWindow()) {
        if (isVisible() && (type == QEvent::Move || type == QEvent::Resize)) scheduleFit();
        return QDialog::eventFilter(watched, event);
    }
    if (type == QEvent::LayoutRequest && area != nullptr &&
        (watched == area->widget() || (footerPart != nullptr && watched == footerPart))) {
        scheduleFit();
        return QDialog::eventFilter(watched, event);
    }
    // A focused push button clicks itself on Return when it is an auto-default button;
    // a button made later, or made default again by its box, must not.
    if (returnSafe && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Sheet::keyPressEvent(QKeyEvent* event) {
    if (returnSafe && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Sheet::childEvent(QChildEvent* event) {
    QDialog::childEvent(event);
    if (returnSafe && event->added()) QTimer::singleShot(0, this, [this] { clearDefaultButtons(); });
}

}  // namespace marlowick::ui
