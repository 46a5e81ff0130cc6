// The desktop application's entry: the Qt application, then the main window.

#include <QApplication>

#include "MainWindow.hpp"
#include "MarlowickApp.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    marlowick::MarlowickApp::configure(application);
    marlowick::MainWindow window;
    window.show();
    return QApplication::exec();
}
