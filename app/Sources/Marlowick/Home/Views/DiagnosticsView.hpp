#pragma once
// The collapsible panel with the plain-text report of the last finished operation. It
// starts collapsed, showing "Show details" and "Copy details"; the report can be copied
// without being shown. The report is rendered anew for every showing and every copy, with
// the user's home folder written "~".
//
// A copy puts the text on the clipboard and reads it back: only when the clipboard holds
// exactly that text does the button say "Copied", for two seconds after that press. Each
// press starts its own two seconds, so after two quick presses the title returns two
// seconds after the first.

#include <string>

#include <QWidget>

#include "Design/BrandCard.hpp"
#include "Diagnostics/DiagnosticReport.hpp"

class QPushButton;
class QScrollArea;
class QLabel;

namespace marlowick {

class DiagnosticsView : public BrandCard {
    Q_OBJECT
public:
    explicit DiagnosticsView(DiagnosticReport report, QWidget* parent = nullptr);

    // The text shown and copied: the report with the current home folder as "~".
    [[nodiscard]] std::string reportText() const;
    [[nodiscard]] bool isExpanded() const { return expanded; }
    [[nodiscard]] bool didCopy() const { return copied; }

    static constexpr int copiedMilliseconds = 2000;
    static constexpr int textMaximumHeight = 160;

private:
    void toggle();
    void copy();
    void showCopied(bool value);

    DiagnosticReport report;
    bool expanded = false;
    bool copied = false;
    QPushButton* toggleButton = nullptr;
    QPushButton* copyButton = nullptr;
    QScrollArea* textArea = nullptr;
    QLabel* textLabel = nullptr;
};

}  // namespace marlowick
