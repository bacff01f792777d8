#pragma once

#include <vector>

#include "platform/Files.h"
#include "platform/Strings.h"

// The program's named settings: entries of a name and a value, both Strings, kept in memory in
// two parallel lists and on disk in one file of line pairs (a name line, then a value line).
//
// Index 0 of both lists holds the empty String and is never an entry: entries are at 1 to the
// upper bound, in the order they were added, and both lists always have the same upper bound.
// Names need not be unique; every operation acts on the first entry of a name. Names and the
// text "true" are compared with platform::StringEquals and nothing else.
namespace BrioEasyPrefs {

using List = std::vector<platform::String>;

// Module state. Created at start-up before the application object exists: prefItems, then
// prefNames, each holding only index 0; prefFile nil.
void InitModuleState();
// Released at exit, after the event loop: prefFile, then prefItems, then prefNames. Nothing is
// written to the file here.
void ReleaseModuleState();

// Read access to the state. The lists raise NilObjectException while the state is released.
const List& PrefNames();
const List& PrefItems();
const platform::FolderItemRef& PrefFile();

// The value of the first entry named `prefName`, else `defaultValue` (which is not stored).
platform::String GetPrefString(const platform::String& prefName,
                               const platform::String& defaultValue);
// True when the first entry named `prefName` holds "true"; `defaultValue` when no entry has the
// name; false for any other stored text.
bool GetPrefBoolean(const platform::String& prefName, bool defaultValue);
// The first entry named `prefName` takes `newValue`; without one, a new entry is appended.
void SetPrefString(const platform::String& prefName, const platform::String& newValue);
// SetPrefString with "true" or "false".
void SetPrefBoolean(const platform::String& prefName, bool newValue);

// Chooses the settings file `fileName` (in the user's Preferences folder, or with `besideApp`
// beside the application, or in the application-data folder for a bundled application),
// creates it empty when it is missing, and otherwise appends its pairs to the entries already
// held. Any failure shows "Cannot init prefs file" and returns normally; what was done before
// it stays done.
void InitPrefFile(const platform::String& fileName, bool besideApp);

// Replaces the settings file with all entries, one line pair each, and gives it the type
// "pref". Raises NilObjectException (before touching the disk) when no file was chosen, and
// IOException when the file cannot be replaced, in which case the old file stays as it was.
void WritePrefsFile();

}  // namespace BrioEasyPrefs
