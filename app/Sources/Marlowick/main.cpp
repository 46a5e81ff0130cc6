// The desktop application's entry.

#include <QApplication>

#include "MarlowickApp.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    return marlowick::MarlowickApp::run(application);
}
