#pragma once
// A question before something that can't be undone (files deleted from a drive, a write
// stopped part-way by quitting), in the look of the erase confirmation: a warning symbol
// beside the title, the sentence under it, and two buttons, the safe answer and the one
// that acts, in the brand's colours and fonts for the appearance in force.
//
// The safe answer is the default button and has the focus when the question opens, so
// Return answers it and never the action, wherever the focus has gone; Escape and the
// window's close button answer it too. The question is window-modal over `window` and
// opens centred on it. It finishes Accepted only when the action was clicked.
//
//     auto* question = new ui::DestructiveQuestion(window, "browser.deleteAlert", {...});
//     connect(question, &QDialog::finished, ...);
//     question->open();

#include <string>

#include <QString>

#include "UI/Sheet.hpp"

class QLabel;
class QPushButton;

namespace marlowick::ui {

class DestructiveQuestion : public Sheet {
    Q_OBJECT
public:
    struct Answer {
        std::string label;
        std::string identifier;  // the button's objectName
    };
    struct Texts {
        std::string title;    // also the window's title
        std::string message;  // plain text
        Answer act;           // does what can't be undone
        Answer keep;          // the safe answer
    };

    DestructiveQuestion(QWidget& window, const QString& identifier, const Texts& texts);

    [[nodiscard]] QString title() const;
    [[nodiscard]] QString message() const;
    [[nodiscard]] QPushButton* actButton() const { return act; }
    [[nodiscard]] QPushButton* keepButton() const { return keep; }
    // The button Return presses: always the safe answer.
    [[nodiscard]] QPushButton* defaultButton() const;

    void setVisible(bool visible) override;

private:
    QLabel* titleLabel = nullptr;
    QLabel* messageLabel = nullptr;
    QPushButton* act = nullptr;
    QPushButton* keep = nullptr;
};

}  // namespace marlowick::ui
