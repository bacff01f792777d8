#include <string_view>

#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/MsgBox.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"
#include "platform/Yield.h"
#include "settings/BrioEasyPrefs.h"
#include "settings/BrioEasyPrefsState.h"

namespace BrioEasyPrefs {

namespace {

using platform::Deref;

// The file has no escaping: a line break inside a name or value would end its line early and
// shift every later pair by one line. The text is cut at its first CR or LF, so each entry stays
// exactly two lines; the reader ends a line at a CR as well as at an LF.
std::string_view OneLine(std::string_view text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

void ChoosePrefFile(const platform::String& fileName, bool besideApp) {
  auto& file = state::File();
  if (!besideApp) {
    auto folder = platform::SpecialFolder::Preferences();
    auto item = Deref(folder, "no Preferences folder").Child(fileName);
    const platform::String path = Deref(item, "no item for the settings file").AbsolutePath();
    file = platform::GetFolderItem(path, 0);
    return;
  }
  auto appFolder = platform::GetFolderItem("", 0);
  file = Deref(appFolder, "no application folder").Child(fileName);
  if (platform::IsBundleMBS(platform::Runtime::GetAppObject())) {
    auto dataFolder = platform::SpecialFolder::ApplicationData();
    file = Deref(dataFolder, "no application-data folder").Child(fileName);
  }
}

}  // namespace

void InitPrefFile(const platform::String& fileName, bool besideApp) {
  // Held until the end, also when a failure ends the work early.
  platform::TextOutputStreamRef created;
  platform::TextInputStreamRef input;
  try {
    ChoosePrefFile(fileName, besideApp);
    const auto& file = Deref(state::File(), "no settings file");
    if (!file.Exists()) {
      // First run: an empty file marks where the settings will be saved. If it cannot be made,
      // nothing is lost yet; the first save tries again and reports its own failure.
      created = file.CreateTextFile();
      return;
    }
    input = file.OpenAsTextFile();
    while (!Deref(input, "settings file cannot be opened").AtEOF()) {
      // Both lines are read before either list grows: a read failure after the name line drops
      // that name rather than leave the lists of different lengths. A missing value line (a file
      // of odd length) reads as the empty text.
      platform::String name = input->ReadLine();
      platform::String value = input->ReadLine();
      state::Names().push_back(std::move(name));
      state::Items().push_back(std::move(value));
      platform::CooperativeYield();
    }
  } catch (...) {
    platform::MsgBox("Cannot init prefs file");
  }
}

void WritePrefsFile() {
  const auto& file = Deref(state::File(), "no settings file chosen");
  auto output = file.ReplaceTextFile();
  for (std::size_t i = 1; i < state::Names().size(); ++i) {
    output->WriteLine(OneLine(state::Names()[i]));
    output->WriteLine(OneLine(state::Items().at(i)));
    platform::CooperativeYield();
  }
  output->SetMacType("pref");
  output->Commit();
}

}  // namespace BrioEasyPrefs
