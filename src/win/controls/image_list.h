#pragma once

#include "win/controls/window.h"

namespace tw::win {

// One of the program's own image lists (32-bit colour with alpha), loaded from a strip of the
// program's resources at the size that suits the density: 16, 24 or 32 pixels, the largest not
// above 16 design pixels. Drawn with its index as the windows' image indexes say.
//
// Thread: the user-interface thread. Owns the native image list; controls and common controls
// that show it keep only its handle (and must not destroy it: share it).
class ImageList {
 public:
  // `firstResource` is the id of the 16-pixel strip (TARNWATCH_IMAGES_*); `count` images.
  ImageList(int firstResource, int count, const Dpi& dpi);
  ~ImageList();
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  // Loads the strip again for another density (the handle changes).
  void reload(const Dpi& dpi);

  ImageListHandle handle() const { return handle_; }
  int count() const { return count_; }
  // Image `index` as a bitmap of its own (32 bits, premultiplied alpha), as menus show
  // pictures; the caller owns it (DeleteObject). Null for an index out of range.
  BitmapHandle copyBitmap(int index) const;
  // The side of one image in pixels.
  int imageSize() const { return size_; }

 private:
  int firstResource_;
  int count_;
  int size_ = 16;
  int resource_ = 0;  // the strip loaded
  ImageListHandle handle_ = nullptr;
};

// The shell's list of small system icons (the icons of drives, folders and file types), as the
// shell gives it for the system drive's root `systemDriveRoot`. Shared by the whole process:
// never destroyed.
ImageListHandle systemSmallIcons(std::string_view systemDriveRoot);
// The image of that list that shows the platform's icon `icon` (IconSource's index, 0 for none):
// the list's own index, or the views' "no image" for 0.
int systemImage(int icon);

}  // namespace tw::win
