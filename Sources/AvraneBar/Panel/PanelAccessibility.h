#pragma once

namespace avrane {

// Installs, once per process, how assistive technology sees the panel's own widgets: sliders
// that report their value and range in the units the panel shows, pop-ups named by their
// row's title with the chosen item as their text, switches whose actions click them, cards as
// groups named by their title, and the panel as a window. The rest is Qt's own.
void installPanelAccessibility();

}  // namespace avrane
