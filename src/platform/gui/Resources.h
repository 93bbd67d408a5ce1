// Bitmaps and icons compiled into the program (Qt resource system), by the program's
// resource ids.
//
// A bitmap with id N is the file ":/tamsiro/bitmaps/N.png"; an icon with id N is the
// folder ":/tamsiro/icons/N/" holding one PNG per size, named by its pixel size
// ("16.png", "32.png", ...). The files sit under src/res/ and are listed in this
// folder's CMakeLists.txt. Nothing is decoded before first use, so an icon set at
// start-up costs no image reading until a window shows it.
#pragma once

#include <QIcon>
#include <QImage>

namespace gui {

namespace resource {
inline constexpr int ProgramIcon = 128;  // main window, About box, every window's default
}  // namespace resource

// The bitmap as an RGB32 image (the system loads bitmaps without alpha); a null image
// and a debug line naming the id when the program has none.
QImage loadBitmap(int id);
// The icon with every size the program has of it; a null icon and a debug line when
// it has none.
QIcon loadIcon(int id);
// Makes the program's icon the default icon of every window.
void setProgramIcon();

}  // namespace gui
