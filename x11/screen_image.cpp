#include "x11/screen_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>

#include "x11/x_errors.h"

ScreenImage::~ScreenImage() { Release(); }

bool ScreenImage::CreateShared(Visual* visual, int depth, int width, int height) {
    if (!XShmQueryExtension(display_)) return false;
    XImage* image =
        XShmCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment_,
                        static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr) return false;
    const size_t bytes =
        static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(image->height);
    segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment_.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    segment_.shmaddr = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
    // Marked for removal at once, the segment goes away with the last
    // detach, even if this process is killed before the server answers.
    // The server may still attach it: Linux lets a marked segment be
    // attached while anyone has it attached.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (segment_.shmaddr == reinterpret_cast<char*>(-1)) {
        XDestroyImage(image);
        return false;
    }
    image->data = segment_.shmaddr;
    segment_.readOnly = False;

    // A server on another machine cannot attach, and says so only by an
    // error; wait for its answer before trusting the segment.
    bool attached;
    {
        XErrorTrap trap(display_);
        attached = XShmAttach(display_, &segment_) && !trap.Failed();
    }
    if (!attached) {
        shmdt(segment_.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    image_ = image;
    shared_ = true;
    return true;
}

bool ScreenImage::Create(Display* display, Visual* visual, int depth, int width, int height) {
    Release();
    display_ = display;
    if (CreateShared(visual, depth, width, height)) return true;

    XImage* image =
        XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image == nullptr) return false;
    image->data = static_cast<char*>(
        std::calloc(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height), 1));
    if (image->data == nullptr) {
        XDestroyImage(image);
        return false;
    }
    image_ = image;
    shared_ = false;
    return true;
}

void ScreenImage::Release() {
    if (image_ == nullptr) return;
    if (shared_) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);  // the server lets go before the memory does
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
    }
    XDestroyImage(image_);  // frees an ordinary image's pixels
    image_ = nullptr;
    shared_ = false;
}

void ScreenImage::Put(Drawable drawable, GC gc) const {
    if (image_ == nullptr) return;
    const unsigned width = static_cast<unsigned>(image_->width);
    const unsigned height = static_cast<unsigned>(image_->height);
    if (shared_) {
        XShmPutImage(display_, drawable, gc, image_, 0, 0, 0, 0, width, height, False);
    } else {
        XPutImage(display_, drawable, gc, image_, 0, 0, 0, 0, width, height);
    }
}
