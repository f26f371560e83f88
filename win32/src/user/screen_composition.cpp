// The screen as the windows compose it.
//
// Provides (inside the subset): subset::user::composeScreen, composeWindow,
// screenPicturesLocked, windowPictureLocked.
//
// Promises: a picture holds what the lock guards (places, layered
// attributes, the children's pictures) and shares the windows' surfaces, so
// the pixels are composed after the lock is let go. The desktop is black unless drawn on with GetDC(NULL); visible
// top-level windows are drawn bottom to top; each window's visible children
// are drawn over it at their places, clipped to its client area; a layered
// window shows nothing until its attributes are set, leaves out the pixels
// that equal its colour key exactly (LWA_COLORKEY; the key is matched on
// the window's own pixels, children included) and mixes the others over
// what lies beneath with its constant alpha (LWA_ALPHA):
// result = (window * alpha + beneath * (255 - alpha) + 127) / 255 per
// channel.
#include <algorithm>

#include "user/window_manager.h"

namespace subset::user {
namespace {

Surface blankSurface(int width, int height) {
    Surface surface;
    surface.width = std::max(width, 0);
    surface.height = std::max(height, 0);
    surface.pixels.assign(static_cast<size_t>(surface.width) * static_cast<size_t>(surface.height), 0);
    return surface;
}

// Copies `source` onto `target` with its top-left corner at (x, y).
void copyOnto(Surface& target, const Surface& source, int x, int y) {
    int left = std::max(x, 0), top = std::max(y, 0);
    int right = std::min(x + source.width, target.width), bottom = std::min(y + source.height, target.height);
    for (int row = top; row < bottom; ++row) {
        const uint32_t* from = &source.pixels[static_cast<size_t>(row - y) * static_cast<size_t>(source.width) +
                                              static_cast<size_t>(left - x)];
        uint32_t* to = &target.pixels[static_cast<size_t>(row) * static_cast<size_t>(target.width) +
                                      static_cast<size_t>(left)];
        std::copy(from, from + (right - left), to);
    }
}

void drawChildren(Surface& image, const WindowPicture& picture) {
    for (const WindowPicture& child : picture.children) {
        Surface childImage = composeWindow(child);
        copyOnto(image, childImage, child.client.left - picture.client.left, child.client.top - picture.client.top);
    }
}

uint32_t mix(uint32_t over, uint32_t under, unsigned alpha) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        unsigned a = (over >> shift) & 0xFF, b = (under >> shift) & 0xFF;
        unsigned channel = (a * alpha + b * (255 - alpha) + 127) / 255;
        result |= static_cast<uint32_t>(channel) << shift;
    }
    return result;
}

void drawLayered(Surface& screen, const Surface& image, const WindowPicture& picture) {
    const bool keyed = (picture.flags & LWA_COLORKEY) != 0;
    const bool blended = (picture.flags & LWA_ALPHA) != 0;
    const uint32_t key = pixelFromColor(picture.key);
    const unsigned alpha = picture.alpha;
    const int x = picture.client.left, y = picture.client.top;
    int left = std::max(x, 0), top = std::max(y, 0);
    int right = std::min(x + image.width, screen.width), bottom = std::min(y + image.height, screen.height);
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column) {
            uint32_t pixel = image.pixels[static_cast<size_t>(row - y) * static_cast<size_t>(image.width) +
                                          static_cast<size_t>(column - x)];
            if (keyed && pixel == key) continue;
            uint32_t& beneath =
                screen.pixels[static_cast<size_t>(row) * static_cast<size_t>(screen.width) + static_cast<size_t>(column)];
            beneath = blended ? mix(pixel, beneath, alpha) : pixel;
        }
    }
}

void pictureOfLocked(const Window& window, WindowPicture& picture) {
    picture.window = window.handle;
    POINT origin = clientOriginOnScreenLocked(window);
    picture.client = RECT{origin.x, origin.y, origin.x + window.client.right - window.client.left,
                          origin.y + window.client.bottom - window.client.top};
    picture.surface = window.surface;
    picture.layered = (window.exStyle & WS_EX_LAYERED) != 0;
    picture.layeredSet = window.layeredSet;
    picture.key = window.layeredKey;
    picture.alpha = window.layeredAlpha;
    picture.flags = window.layeredFlags;
    picture.children.clear();
    for (auto it = window.children.rbegin(); it != window.children.rend(); ++it) {
        Window* child = findWindowLocked(*it);
        if (!child || !(child->style & WS_VISIBLE)) continue;
        picture.children.emplace_back();
        pictureOfLocked(*child, picture.children.back());
    }
}

}  // namespace

std::vector<WindowPicture> screenPicturesLocked() {
    std::vector<WindowPicture> pictures;
    auto& order = state().topLevel;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        Window* window = findWindowLocked(*it);
        if (!window || !isVisibleLocked(*window)) continue;
        pictures.emplace_back();
        pictureOfLocked(*window, pictures.back());
    }
    return pictures;
}

bool windowPictureLocked(HWND topLevel, WindowPicture& picture) {
    Window* window = findWindowLocked(topLevel);
    if (!window) return false;
    pictureOfLocked(*window, picture);
    return true;
}

Surface composeWindow(const WindowPicture& picture) {
    Surface image = blankSurface(picture.client.right - picture.client.left, picture.client.bottom - picture.client.top);
    if (picture.surface) copyOnto(image, *picture.surface, 0, 0);
    drawChildren(image, picture);
    return image;
}

Surface composeScreen() {
    SIZE size = displayBackend().screenSize();
    Surface screen = blankSurface(size.cx, size.cy);
    std::vector<WindowPicture> pictures;
    std::shared_ptr<Surface> desktop;
    {
        auto lock = lockUser();
        pictures = screenPicturesLocked();
        desktop = state().desktop;
    }
    if (desktop) copyOnto(screen, *desktop, 0, 0);
    for (const WindowPicture& picture : pictures) {
        if (picture.layered && !picture.layeredSet) continue;
        Surface image = composeWindow(picture);
        if (picture.layered)
            drawLayered(screen, image, picture);
        else
            copyOnto(screen, image, picture.client.left, picture.client.top);
    }
    return screen;
}

}  // namespace subset::user
