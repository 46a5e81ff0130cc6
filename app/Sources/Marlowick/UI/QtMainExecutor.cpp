#include "UI/QtMainExecutor.hpp"

#include <QMetaObject>
#include <utility>

namespace marlowick::ui {

MainExecutor qtMainExecutor(QObject& context) {
    QObject* target = &context;
    return [target](std::function<void()> work) {
        QMetaObject::invokeMethod(target, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
    };
}

}  // namespace marlowick::ui
