#pragma once

#include "platform/change_watching.h"
#include "platform/drives.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/icons.h"
#include "platform/profile_store.h"
#include "platform/shell.h"

namespace tw {

// The system's services, one small interface per concern. A program makes its platform once at
// start and hands each part to what needs it; tests hand fakes. The referenced objects outlive
// every user.
struct Platform {
  Environment& environment;
  Drives& drives;
  IconSource& icons;
  Files& files;
  ProfileStore& profiles;
  Shell& shell;
  ChangeWatching& watching;

  // The same platform with other drives.
  Platform withDrives(Drives& other) const {
    return Platform{environment, other, icons, files, profiles, shell, watching};
  }
};

// The platform of this build, created on first use and alive until the process exits.
Platform systemPlatform();

}  // namespace tw
