#pragma once

#include "platform/fake/fake_change_watching.h"
#include "platform/fake/fake_drives.h"
#include "platform/fake/fake_environment.h"
#include "platform/fake/fake_files.h"
#include "platform/fake/fake_icons.h"
#include "platform/fake/fake_shell.h"
#include "platform/platform.h"

namespace tw {

// Every fake part in one object, for tests that need a whole platform: the scripted fields of
// each part are reached directly (platform.driveTable, platform.fakeFiles, ...). The parts are
// tied together as on a real platform: names are split by the environment's path style, and
// the profile store's INI files are files to the file part. A test that needs one part only
// uses that part's fake alone.
class FakePlatform : public FakeEnvironment,
                     public FakeDrives,
                     public FakeIcons,
                     public FakeFiles,
                     public FakeProfileStore,
                     public FakeShell {
 public:
  explicit FakePlatform(PathStyle style = PathStyle::Windows)
      : FakeEnvironment(style), FakeIcons(FakeEnvironment::style), FakeProfileStore(this) {
    seeProfiles(*this);
  }
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // Every part of this fake.
  Platform parts() { return Platform{*this, *this, *this, *this, *this, *this, watching}; }

  // Change watching, scripted.
  FakeChangeWatching watching;
};

}  // namespace tw
