#pragma once
// A sheet: a dialog that is window-modal over the main window. Escape cancels it (it is
// rejected, as with its Cancel button). A sheet that erases a drive has no default button,
// so Return never confirms it: makeReturnSafe() takes the default and auto-default role
// from every push button in it, also from buttons added later, and Return and Enter
// reach none of its buttons.

#include <QDialog>

namespace marlowick::ui {

class Sheet : public QDialog {
    Q_OBJECT
public:
    // `identifier` is the sheet's objectName, ending in ".sheet".
    Sheet(QWidget& window, const QString& identifier);

    // No button of this sheet reacts to Return, now or when added later.
    void makeReturnSafe();
    [[nodiscard]] bool isReturnSafe() const { return returnSafe; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void clearDefaultButtons();
    bool returnSafe = false;
};

}  // namespace marlowick::ui
