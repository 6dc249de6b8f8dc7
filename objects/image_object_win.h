#pragma once
// Pictures from and to system bitmaps and picture files.
#include <windows.h>

#include <string>

#include "objects/image_object.h"
#include "win/handles.h"

namespace scribly {

// Reads the bitmap's pixels as a 24-bit bottom-up picture placed at `at` in
// its own size. Refused when the picture already has pixels, the bitmap cannot
// be queried, or it is larger than a picture may be.
bool attachFromBitmap(ImageObject& image, HBITMAP bitmap, Point at);

// Decodes a picture file with the system picture loader and attaches its
// bitmap at `at`. Only bitmap, GIF and JPEG files whose headers hold together
// and state at most maxPixelBytes of pixels reach the loader. False when the
// file cannot be opened or read whole, is refused, or yields no bitmap.
bool loadPictureFile(ImageObject& image, const std::wstring& path, Point at,
                     size_t maxPixelBytes = kMaxPictureBytes);

// A bitmap of the picture's size compatible with the window's screen, with
// the picture drawn into it at the origin.
Bitmap renderToBitmap(ImageObject& image, HWND window);

// The module's hand bitmap (resource 208), deleted with its owner.
Bitmap loadHandBitmap(HINSTANCE module);

}  // namespace scribly
