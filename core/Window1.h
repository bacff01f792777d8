#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/AppleRemote.h"
#include "platform/Menu.h"
#include "platform/Window.h"

// The main window: the listening switch, exclusive mode, the disclosure triangle that shows the
// button-event table, and the help button. It owns the remote listener and turns the event IDs
// the listener hands it into key presses.
class Window1 : public platform::Window {
 public:
  // The open main window, built hidden when there is none. A closed window is never returned.
  static std::shared_ptr<Window1> Instance();
  // The open main window; nil when there is none. Never builds one.
  static std::shared_ptr<Window1> Existing();

  Window1();
  ~Window1() override;

  // Control handlers, called with the control that raised the event.
  void PushButton1_Action(platform::PushButton& me);
  void CheckBox1_Action(platform::CheckBox& me);
  void Listbox1_Open(platform::Listbox& me);
  void DisclosureTriangle1_Action(platform::DisclosureTriangle& me);
  void HelpPush_Action(platform::PushButton& me);

  // The menu items of the window's menu bar, looked up by name (nil for a name the bar lacks).
  std::shared_ptr<platform::MenuItem> EditMenu() const;
  std::shared_ptr<platform::MenuItem> EditClear() const;
  std::shared_ptr<platform::MenuItem> EditPaste() const;
  std::shared_ptr<platform::MenuItem> EditCopy() const;
  std::shared_ptr<platform::MenuItem> EditCut() const;
  std::shared_ptr<platform::MenuItem> UntitledMenu0() const;
  std::shared_ptr<platform::MenuItem> EditUndo() const;
  std::shared_ptr<platform::MenuItem> FileMenu() const;
  std::shared_ptr<platform::QuitMenuItem> FileQuit() const;
  std::shared_ptr<platform::MenuItem> UntitledMenu1() const;

  // Presses the key of the first table row whose ID is `eventID` and selects that row.
  void buttonpressed(int eventID);
  // Fill the table from the settings store, and write it back.
  void loadprefs();
  void Saveprefs();
  // The Key a row has when the settings hold none, by its ID text.
  std::string getdefaultkey(std::string_view idText) const;

  // The controls, fetched by name at each use.
  std::shared_ptr<platform::PushButton> PushButton1() const;
  std::shared_ptr<platform::CheckBox> CheckBox1() const;
  std::shared_ptr<platform::Listbox> Listbox1() const;
  std::shared_ptr<platform::DisclosureTriangle> DisclosureTriangle1() const;
  std::shared_ptr<platform::PushButton> HelpPush() const;

  // Read-only views of the listening state, for inspection.
  const std::shared_ptr<platform::AppleRemoteMBS>& listener() const noexcept { return a; }
  bool isListening() const noexcept { return listening; }

 protected:
  void Layout() override;
  void CreateControls() override;
  void CreateControls0();
  void Event_Open() override;
  void Event_Close() override;

  // The remote listener, made when the window opens and kept until the window object goes.
  std::shared_ptr<platform::AppleRemoteMBS> a;
  // True while listening has been switched on with PushButton1.
  bool listening = false;
};
