// The program's pictures, from the Qt resource file res/orvalis.qrc, and the
// resource ids under which the dialogs know them.
#pragma once

#include <QIcon>

namespace orvalis {

enum ResourceId {
  IDD_ABOUTBOX = 100,   // the about box
  IDS_ABOUTBOX = 101,   // the About entry's text
  IDR_MAINFRAME = 128,  // the application icon
  IDB_SPLASH = 132,     // the splash picture
};

inline constexpr const char* kSplashPicturePath = ":/orvalis/splash.png";

// Makes the resource file's pictures available; safe to call more than once.
// The resources live in a static library, whose unreferenced parts the linker
// would otherwise leave out.
void initResources();

// The application icon at every size it was drawn at.
QIcon applicationIcon();

}  // namespace orvalis
