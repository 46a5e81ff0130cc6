#pragma once
// A sheet: a dialog that is window-modal over the main window, centred on it, and kept so
// while the window moves or changes size. Escape cancels it (it is rejected, as with its
// Cancel button). A sheet that erases a drive has no default button, so Return never
// confirms it: makeReturnSafe() takes the default and auto-default role from every push
// button in it, also from buttons added later, and Return and Enter reach none of its
// buttons.
//
// Laid out by setParts(), a sheet is its body above its footer (the buttons, and what must
// be seen with them): as tall as both need, never taller than its window. What the window
// cannot hold of the body scrolls; the footer always stays in view.

#include <QDialog>

class QFrame;
class QScrollArea;

namespace marlowick::ui {

class Sheet : public QDialog {
    Q_OBJECT
public:
    // `identifier` is the sheet's objectName, ending in ".sheet".
    Sheet(QWidget& window, const QString& identifier);

    // Takes `body` and `footer` (which may be null) and lays the sheet out with them, `width`
    // wide. Their identifiers are the sheet's with ".body" and ".footer" in place of ".sheet".
    void setParts(QWidget* body, QWidget* footer, int width);
    // Sizes the sheet again for its parts and its window, and centres it on the window. A
    // change of the body's layout does this by itself.
    void fit();
    // The area the body scrolls in, and the footer; null before setParts().
    [[nodiscard]] QScrollArea* bodyArea() const { return area; }
    [[nodiscard]] QWidget* footer() const { return footerPart; }

    // No button of this sheet reacts to Return, now or when added later.
    void makeReturnSafe();
    [[nodiscard]] bool isReturnSafe() const { return returnSafe; }

    // The room kept free between a sheet and its window's top and bottom edges.
    static constexpr int windowMargin = 24;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void clearDefaultButtons();
    void scheduleFit();
    [[nodiscard]] QWidget& ownerWindow() const;

    bool returnSafe = false;
    bool fitQueued = false;
    int partsWidth = 0;
    QScrollArea* area = nullptr;
    QFrame* rule = nullptr;
    QWidget* footerPart = nullptr;
};

}  // namespace marlowick::ui
