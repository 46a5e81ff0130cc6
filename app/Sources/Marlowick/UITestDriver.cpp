#include "UITestDriver.hpp"

#include <unistd.h>

#include <cstdio>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include "AppMenus.hpp"
#include "Diagnostics/MarlowickLog.hpp"
#include "MainWindow.hpp"

namespace marlowick {
namespace {

QList<QWidget*> visibleElements(const QString& identifier) {
    QList<QWidget*> found;
    const auto add = [&found](QWidget* widget) {
        // A dialog is a window of its own and a child of the window it belongs to: once.
        if (widget->isVisible() && !found.contains(widget)) found.append(widget);
    };
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) continue;
        if (top->objectName() == identifier) add(top);
        for (QWidget* child : top->findChildren<QWidget*>(identifier)) add(child);
    }
    return found;
}

QWidget* element(const QString& identifier) {
    const QList<QWidget*> found = visibleElements(identifier);
    return found.size() == 1 ? found.front() : nullptr;
}

// Runs the event loop until `done` holds or `milliseconds` pass.
bool waitFor(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(10'000);
    }
    return true;
}

QString textOf(QWidget& widget) {
    if (auto* label = qobject_cast<QLabel*>(&widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) return button->text();
    if (auto* field = qobject_cast<QLineEdit*>(&widget)) return field->text();
    if (widget.isWindow()) return widget.windowTitle();
    return widget.accessibleName();
}

void sendKeys(QWidget& target, const QKeySequence& keys) {
    for (int i = 0; i < keys.count(); ++i) {
        const QKeyCombination combination = keys[i];
        QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
        QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers());
        QApplication::sendEvent(&target, &press);
        QApplication::sendEvent(&target, &release);
    }
}

// Later, on the event loop: the reply goes out first.
void later(QWidget* widget, std::function<void(QWidget&)> act) {
    QPointer<QWidget> target(widget);
    QTimer::singleShot(0, qApp, [target, act = std::move(act)] {
        if (target) act(*target);
    });
}

// Every record goes on to the sink the program had, and a copy to standard error.
class CopyingLogSink final : public MarlowickLog::Sink {
public:
    explicit CopyingLogSink(std::shared_ptr<MarlowickLog::Sink> next) : onward(std::move(next)) {}
    [[nodiscard]] bool isEnabled(MarlowickLog::Level) const override { return true; }
    void write(const MarlowickLog::Record& record) override {
        if (onward && onward->isEnabled(record.level)) onward->write(record);
        const std::string line =
            "log [" + std::string(MarlowickLog::rawValue(record.category)) + "] " + record.message + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

private:
    std::shared_ptr<MarlowickLog::Sink> onward;
};

}  // namespace

UITestDriver::UITestDriver(MainWindow& mainWindow, AppMenus& appMenus, std::function<void()> quitProgram)
    : window(mainWindow), menus(appMenus), quit(std::move(quitProgram)), notifier(STDIN_FILENO, QSocketNotifier::Read) {
    connect(&notifier, &QSocketNotifier::activated, this, &UITestDriver::readInput);
    formerLog = MarlowickLog::currentSink();
    MarlowickLog::setSink(std::make_shared<CopyingLogSink>(formerLog));
}

UITestDriver::~UITestDriver() { MarlowickLog::setSink(formerLog); }

void UITestDriver::reply(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void UITestDriver::readInput() {
    char buffer[4096];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        notifier.setEnabled(false);
        QTimer::singleShot(0, this, [this] { quit(); });
        return;
    }
    pending.append(buffer, count);
    qsizetype end = 0;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pending.left(end)).trimmed();
        pending.remove(0, end + 1);
        if (!line.isEmpty()) handle(line);
    }
}

void UITestDriver::handle(const QString& line) {
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const QString verb = space < 0 ? line : line.left(space);
    const QString rest = space < 0 ? QString() : line.mid(space + 1);
    const QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString identifier = words.value(0);

    if (verb == QLatin1String("quit")) {
        reply(QStringLiteral("ok"));
        QTimer::singleShot(0, this, [this] { quit(); });
    } else if (verb == QLatin1String("wait") || verb == QLatin1String("gone")) {
        const int milliseconds = words.size() > 1 ? words[1].toInt() : 5000;
        const bool present = verb == QLatin1String("wait");
        const bool reached = waitFor([&] { return (element(identifier) != nullptr) == present; }, milliseconds);
        reply(reached ? QStringLiteral("ok") : QStringLiteral("error timeout"));
    } else if (verb == QLatin1String("menu") || verb == QLatin1String("trigger")) {
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        QAction* item = slash < 0 ? nullptr : menus.action(rest.left(slash), rest.mid(slash + 1));
        if (item == nullptr) {
            reply(QStringLiteral("error no item ") + rest);
        } else if (verb == QLatin1String("menu")) {
            reply(QStringLiteral("ok enabled=%1 checked=%2").arg(int(item->isEnabled())).arg(int(item->isChecked())));
        } else if (!item->isEnabled()) {
            reply(QStringLiteral("error disabled"));
        } else {
            reply(QStringLiteral("ok"));
            QPointer<QAction> target(item);
            QTimer::singleShot(0, qApp, [target] {
                if (target) target->trigger();
            });
        }
    } else if (verb == QLatin1String("shortcut")) {
        reply(QStringLiteral("ok"));
        const QKeySequence keys(rest);
        later(&window, [keys](QWidget& target) {
            // Shortcuts are matched on the key press the focused window receives.
            QWidget* focus = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &target;
            sendKeys(*focus, keys);
        });
    } else {
        QWidget* found = element(identifier);
        if (found == nullptr) {
            reply(QStringLiteral("error no single visible element ") + identifier);
        } else if (verb == QLatin1String("click")) {
            reply(QStringLiteral("ok"));
            later(found, [](QWidget& target) {
                if (auto* button = qobject_cast<QAbstractButton*>(&target)) {
                    button->click();
                    return;
                }
                const QPointF centre = QRectF(target.rect()).center();
                QMouseEvent press(QEvent::MouseButtonPress, centre, target.mapToGlobal(centre), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QMouseEvent release(QEvent::MouseButtonRelease, centre, target.mapToGlobal(centre), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(&target, &press);
                QApplication::sendEvent(&target, &release);
            });
        } else if (verb == QLatin1String("key")) {
            reply(QStringLiteral("ok"));
            const QKeySequence keys(words.value(1));
            later(found, [keys](QWidget& target) { sendKeys(target, keys); });
        } else if (verb == QLatin1String("text")) {
            reply(QStringLiteral("ok ") + textOf(*found).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        } else if (verb == QLatin1String("state")) {
            const auto* button = qobject_cast<QAbstractButton*>(found);
            reply(QStringLiteral("ok visible=%1 enabled=%2 checked=%3")
                      .arg(int(found->isVisible()))
                      .arg(int(found->isEnabled()))
                      .arg(int(button != nullptr && button->isChecked())));
        } else if (verb == QLatin1String("type")) {
            auto* field = qobject_cast<QLineEdit*>(found);
            if (field == nullptr) {
                reply(QStringLiteral("error not a field ") + identifier);
            } else {
                field->setText(rest.mid(identifier.size() + 1));
                reply(QStringLiteral("ok"));
            }
        } else if (verb == QLatin1String("grab")) {
            const QString file = rest.mid(identifier.size() + 1);
            const bool saved = found->grab().save(file, "PNG");
            reply(saved ? QStringLiteral("ok") : QStringLiteral("error could not write ") + file);
        } else {
            reply(QStringLiteral("error unknown command ") + verb);
        }
    }
}

}  // namespace marlowick
