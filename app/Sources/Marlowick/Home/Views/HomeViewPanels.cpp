// The panels the home view composes in this application. A panel that is not listed here
// leaves its place in the home view empty.

#include "Home/Views/HomeView.hpp"

namespace marlowick {

HomeViewPanels standardHomePanels() {
    HomeViewPanels panels;
    return panels;
}

}  // namespace marlowick
