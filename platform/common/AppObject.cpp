// The application object registry and the application's version numbers. Kept free of Qt so
// that code below the window layer (the settings store) can ask for the application object.
#include "platform/Application.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"
#include "platform/Version.h"

#include "platform/Exceptions.h"

namespace platform {

namespace {
std::shared_ptr<Application>& AppObject() {
  static std::shared_ptr<Application> app;
  return app;
}
}  // namespace

int Application::MajorVersion() const noexcept { return build::kMajorVersion; }
int Application::MinorVersion() const noexcept { return build::kMinorVersion; }
int Application::BugVersion() const noexcept { return build::kBugVersion; }

void Runtime::RegisterAppObject(std::shared_ptr<Application> app) { AppObject() = std::move(app); }

std::shared_ptr<Application> Runtime::GetAppObject() { return AppObject(); }

bool IsBundleMBS(const std::shared_ptr<Application>& app) {
  Deref(app, "no application object");
  return false;
}

}  // namespace platform
