#include "core/MainWindowGeometry.h"
#include "core/Window1.h"
#include "shell/MenuBar1.h"

void Window1::Layout() {
  // The bar comes first: the window's content height never counts the bar.
  SetMenuBar(MenuBar1::Instance());

  platform::WindowProperties p;
  p.placement = 0;
  p.width = core::kWindowWidth;
  p.height = core::kCollapsedHeight;
  p.minWidth = 64;
  p.minHeight = 64;
  p.maxWidth = core::kWindowWidth;
  p.maxHeight = core::kExpandedHeight;
  p.frame = 0;
  p.composite = false;
  p.hasBackColor = false;
  p.backColor = 0xFFFFFF;
  p.title = "Zibble TV Remote";
  p.visible = false;  // shown when the application opens
  p.fullScreen = false;
  p.menuBarVisible = true;
  p.closeButton = true;
  p.resizeable = false;
  p.liveResize = false;
  p.maximizeButton = false;
  p.minimizeButton = false;
  p.macProcID = 0;
  SetProperties(p);
}
