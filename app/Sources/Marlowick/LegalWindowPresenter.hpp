#pragma once
// At most one window per legal document, made on first demand and kept for the life of
// the process: showing a document again brings its window forward. A window that opens
// (made, or shown again after it was closed) opens centred on the window it is asked from.

#include <QWidget>

#include "LegalDocument.hpp"

namespace marlowick::LegalWindowPresenter {

// `over`: the window the document is asked from; none centres it on the screen.
void show(LegalDocument document, const QWidget* over = nullptr);
// The document's window once made; null before.
[[nodiscard]] QWidget* window(LegalDocument document);

}  // namespace marlowick::LegalWindowPresenter
