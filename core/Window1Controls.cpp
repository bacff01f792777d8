#include "core/ButtonEventTable.h"
#include "core/MainWindowGeometry.h"
#include "core/Window1.h"

namespace {

void Place(platform::ControlProperties& p, int left, int top, int width, int height, int tabIndex) {
  p.left = left;
  p.top = top;
  p.width = width;
  p.height = height;
  p.tabIndex = tabIndex;
}

}  // namespace

void Window1::CreateControls() { CreateControls0(); }

// Each control is created, registered, given its values and bound before the next one starts,
// so that a failure leaves the earlier controls complete and the later ones absent.
void Window1::CreateControls0() {
  {
    AddControl("PushButton1", NewControl<platform::PushButton>());
    platform::PushButton::Properties p;
    Place(p, 20, 14, 145, 20, 0);
    p.caption = "Turn On";
    PushButton1()->SetProperties(p);
    InstallEventHandler(PushButton1(), "Action", &Window1::PushButton1_Action);
  }
  {
    AddControl("CheckBox1", NewControl<platform::CheckBox>());
    platform::CheckBox::Properties p;
    Place(p, 201, 14, 128, 20, 1);
    p.caption = "Exclusive mode";
    p.visible = false;  // shown only while the table is
    p.value = false;
    CheckBox1()->SetProperties(p);
    InstallEventHandler(CheckBox1(), "Action", &Window1::CheckBox1_Action);
  }
  {
    AddControl("Listbox1", NewControl<platform::Listbox>());
    platform::Listbox::Properties p = core::ButtonEventListProperties();
    // Sized by its margins against the window as laid out: no visible area while collapsed.
    Place(p, core::kListLeft, core::kListTop,
          core::kWindowWidth - core::kListLeft - core::kListRightMargin,
          core::kCollapsedHeight - core::kListTop - core::kListBottomMargin, 2);
    p.lockLeft = p.lockTop = p.lockRight = p.lockBottom = true;
    Listbox1()->SetProperties(p);
    InstallEventHandler(Listbox1(), "Open", &Window1::Listbox1_Open);
  }
  {
    AddControl("DisclosureTriangle1", NewControl<platform::DisclosureTriangle>());
    platform::DisclosureTriangle::Properties p;
    Place(p, 171, 14, 18, 18, 3);
    p.value = false;
    p.facing = 0;
    p.acceptFocus = false;
    DisclosureTriangle1()->SetProperties(p);
    InstallEventHandler(DisclosureTriangle1(), "Action", &Window1::DisclosureTriangle1_Action);
  }
  {
    AddControl("HelpPush", NewControl<platform::PushButton>());
    platform::PushButton::Properties p;
    Place(p, 426, 15, 30, 20, 4);
    p.caption = "?";
    p.textSize = 12;
    HelpPush()->SetProperties(p);
    InstallEventHandler(HelpPush(), "Action", &Window1::HelpPush_Action);
  }
}

std::shared_ptr<platform::PushButton> Window1::PushButton1() const {
  return ControlAs<platform::PushButton>("PushButton1");
}
std::shared_ptr<platform::CheckBox> Window1::CheckBox1() const {
  return ControlAs<platform::CheckBox>("CheckBox1");
}
std::shared_ptr<platform::Listbox> Window1::Listbox1() const {
  return ControlAs<platform::Listbox>("Listbox1");
}
std::shared_ptr<platform::DisclosureTriangle> Window1::DisclosureTriangle1() const {
  return ControlAs<platform::DisclosureTriangle>("DisclosureTriangle1");
}
std::shared_ptr<platform::PushButton> Window1::HelpPush() const {
  return ControlAs<platform::PushButton>("HelpPush");
}
