#pragma once
// At most one window per legal document, made on first demand and kept for the life of
// the process: showing a document again brings its window forward.

#include <QWidget>

#include "LegalDocument.hpp"

namespace marlowick::LegalWindowPresenter {

void show(LegalDocument document);
// The document's window once made; null before.
[[nodiscard]] QWidget* window(LegalDocument document);

}  // namespace marlowick::LegalWindowPresenter
