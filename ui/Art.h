#pragma once

#include <QIcon>
#include <QPixmap>

namespace plotvane {

// The program's own pictures, stored in the program (scripts/make-art.sh draws them).
QIcon Application_Icon();   // 32, 48, 128 and 256 pixels
QPixmap About_Picture();    // the About box's 74 x 74 JPEG
// The block name's padlock, 16 pixels: closed while the name is locked (button raised), open
// once unlocked (button down), crossed out when the button is disabled.
QIcon Padlock_Icon();

} // namespace plotvane
