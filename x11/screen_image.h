// The picture the hack puts on its window each frame: an XImage in shared
// memory where the server offers the MIT-SHM extension, an ordinary one
// otherwise (a remote display, or a server without the extension).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

class ScreenImage {
public:
    ScreenImage() = default;
    ~ScreenImage();
    ScreenImage(const ScreenImage&) = delete;
    ScreenImage& operator=(const ScreenImage&) = delete;

    // Makes an image of width by height pixels, releasing any earlier one.
    // False if there is not even memory for an ordinary image.
    bool Create(Display* display, Visual* visual, int depth, int width, int height);
    void Release();

    XImage* image() const { return image_; }
    bool shared() const { return shared_; }

    // Puts the whole image at the window's top-left corner; the caller waits
    // for the server (XSync) before changing the image again.
    void Put(Drawable drawable, GC gc) const;

private:
    bool CreateShared(Visual* visual, int depth, int width, int height);

    Display* display_ = nullptr;
    XImage* image_ = nullptr;
    bool shared_ = false;
    XShmSegmentInfo segment_{};
};
