#include "shell/HelpWin.h"

#include <string>

#include "platform/Controls.h"
#include "platform/Exceptions.h"
#include "shell/HelpText.h"

namespace {
constexpr const char* kFullClassName = "HelpWin.HelpWin";

platform::WindowProperties WindowValues() {
  platform::WindowProperties p;
  p.title = "ZibTVRemote";
  p.width = 473;
  p.height = 359;
  p.minWidth = 64;
  p.minHeight = 64;
  p.maxWidth = 32000;
  p.maxHeight = 32000;
  p.resizeable = false;
  p.liveResize = true;
  p.closeButton = true;
  p.minimizeButton = true;
  p.maximizeButton = false;
  p.visible = true;
  p.frame = 0;
  p.placement = 0;
  p.menuBarVisible = true;
  p.hasBackColor = false;
  p.backColor = 0xFFFFFF;
  p.composite = false;
  p.fullScreen = false;
  p.macProcID = 0;
  return p;
}

platform::StaticText::Properties StaticText1Values() {
  platform::StaticText::Properties p;
  p.left = 14;
  p.top = 19;
  p.width = 439;
  p.height = 267;
  p.lockLeft = true;
  p.lockTop = true;
  p.lockRight = true;
  p.lockBottom = true;
  p.tabIndex = 0;
  p.tabPanelIndex = 0;
  p.tabStop = true;
  p.enabled = true;
  p.visible = true;
  p.autoDeactivate = true;
  p.textFont = "System";
  p.textSize = 0;
  p.multiline = true;
  p.textAlign = 0;
  p.textColor = 0x000000;
  p.text = std::string(HelpText());
  return p;
}

platform::PushButton::Properties PushButton1Values() {
  platform::PushButton::Properties p;
  p.left = 373;
  p.top = 319;
  p.width = 80;
  p.height = 20;
  p.lockLeft = false;
  p.lockTop = false;
  p.lockRight = true;
  p.lockBottom = true;
  p.tabIndex = 1;
  p.tabPanelIndex = 0;
  p.tabStop = true;
  p.enabled = true;
  p.visible = true;
  p.autoDeactivate = true;
  p.textFont = "System";
  p.textSize = 0;
  p.caption = "Close";
  p.isDefault = true;
  p.cancel = false;
  return p;
}
}  // namespace

std::shared_ptr<HelpWin> HelpWin::Instance() {
  if (auto existing = platform::CheckCast<HelpWin>(platform::GetImplicitWindow(kFullClassName)))
    return existing;
  auto window = std::make_shared<HelpWin>();
  window->Constructor();
  return window;
}

HelpWin::HelpWin() : platform::Window(kFullClassName) {}

void HelpWin::Layout() { SetProperties(WindowValues()); }

void HelpWin::CreateControls() { CreateControls0(); }

void HelpWin::CreateControls0() {
  AddControl("StaticText1", NewControl<platform::StaticText>());
  ControlAs<platform::StaticText>("StaticText1")->SetProperties(StaticText1Values());

  AddControl("PushButton1", NewControl<platform::PushButton>());
  ControlAs<platform::PushButton>("PushButton1")->SetProperties(PushButton1Values());

  InstallEventHandler(ControlAs<platform::PushButton>("PushButton1"), "Action",
                      &HelpWin::PushButton1_Action);
}

void HelpWin::PushButton1_Action(platform::PushButton& /*me*/) { Close(); }
