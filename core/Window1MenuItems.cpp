#include "core/Window1.h"
#include "platform/Exceptions.h"

namespace {

std::shared_ptr<platform::MenuItem> LookupItem(const platform::Window& window,
                                               std::string_view name) {
  return platform::Deref(window.GetMenuBar(), "window has no menu bar").Lookup(name);
}

}  // namespace

std::shared_ptr<platform::MenuItem> Window1::EditMenu() const {
  return LookupItem(*this, "EditMenu");
}
std::shared_ptr<platform::MenuItem> Window1::EditClear() const {
  return LookupItem(*this, "EditClear");
}
std::shared_ptr<platform::MenuItem> Window1::EditPaste() const {
  return LookupItem(*this, "EditPaste");
}
std::shared_ptr<platform::MenuItem> Window1::EditCopy() const {
  return LookupItem(*this, "EditCopy");
}
std::shared_ptr<platform::MenuItem> Window1::EditCut() const {
  return LookupItem(*this, "EditCut");
}
std::shared_ptr<platform::MenuItem> Window1::UntitledMenu0() const {
  return LookupItem(*this, "UntitledMenu0");
}
std::shared_ptr<platform::MenuItem> Window1::EditUndo() const {
  return LookupItem(*this, "EditUndo");
}
std::shared_ptr<platform::MenuItem> Window1::FileMenu() const {
  return LookupItem(*this, "FileMenu");
}
std::shared_ptr<platform::QuitMenuItem> Window1::FileQuit() const {
  auto item = LookupItem(*this, "FileQuit");
  if (!item) return nullptr;
  auto quit = std::dynamic_pointer_cast<platform::QuitMenuItem>(item);
  if (!quit) throw platform::IllegalCastException("FileQuit is not a QuitMenuItem");
  return quit;
}
std::shared_ptr<platform::MenuItem> Window1::UntitledMenu1() const {
  return LookupItem(*this, "UntitledMenu1");
}
