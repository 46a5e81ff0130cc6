#pragma once
// Lets a test drive the running program as a user would, from outside the process: with
// --ui-driver on the command line, the program reads one command per line on its
// standard input and answers each with one line on its standard output, "ok …" or
// "error …". Elements are found by identifier (objectName) among every window the
// program shows, menu items by "Menu/Item". Clicks, triggers and keys are answered first
// and then acted on, so that a modal dialog they open can be driven by the next
// commands. End of input quits the program as `quit` does. While the driver runs, every
// log line of the program is also written to standard error ("log [category] message"),
// so that a test can read what the program recorded.
//
//   wait <id> [ms]        until a visible element with that identifier exists (5 s default)
//   gone <id> [ms]        until no visible element has it
//   click <id>            a button is clicked; any other element gets a mouse click
//   text <id>             its text: a label's, a button's, a field's, a window's title
//   state <id>            "visible=1 enabled=1 checked=0"
//   type <id> <text>      replaces a field's text
//   key <id> <key>        a key press on the element ("Escape", "Return", "Ctrl+E")
//   menu <Menu/Item>      "enabled=1 checked=0"
//   trigger <Menu/Item>   triggers the item when it is enabled
//   shortcut <keys>       the key sequence on the main window ("Ctrl+E")
//   grab <id> <file>      writes a PNG of that window or element
//   quit                  stops what runs without asking, as SIGTERM does, and quits

#include <functional>
#include <memory>

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include "Diagnostics/LogRecord.hpp"

namespace marlowick {

class AppMenus;
class MainWindow;

class UITestDriver : public QObject {
    Q_OBJECT
public:
    // `quit` ends the program (see the quit command).
    UITestDriver(MainWindow& window, AppMenus& menus, std::function<void()> quit);
    ~UITestDriver() override;
    UITestDriver(const UITestDriver&) = delete;
    UITestDriver& operator=(const UITestDriver&) = delete;

private:
    void readInput();
    void handle(const QString& line);
    void reply(const QString& line);

    MainWindow& window;
    AppMenus& menus;
    std::function<void()> quit;
    QSocketNotifier notifier;
    QByteArray pending;
    std::shared_ptr<MarlowickLog::Sink> formerLog;
};

}  // namespace marlowick
