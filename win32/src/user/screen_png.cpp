// Writing the screen as PNG.
//
// Provides: Win32SubsetWriteScreenPng.
//
// Promises: an 8-bit RGB PNG of the screen's size with what the windows
// show (see screen_composition.cpp), written by libpng; -1 with a message on
// standard error when the file cannot be written. Call on the
// user-interface thread.
#include <win32subset.h>

#include <png.h>

#include <cstdio>
#include <vector>

#include "user/window_manager.h"

extern "C" int Win32SubsetWriteScreenPng(const char* path) {
    if (!path || !path[0]) {
        std::fprintf(stderr, "win32subset: no file named for the screen snapshot\n");
        return -1;
    }
    subset::Surface screen = subset::user::composeScreen();
    std::vector<png_byte> rgb(static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height) * 3);
    for (size_t i = 0; i < screen.pixels.size(); ++i) {
        uint32_t pixel = screen.pixels[i];
        rgb[i * 3] = static_cast<png_byte>((pixel >> 16) & 0xFF);
        rgb[i * 3 + 1] = static_cast<png_byte>((pixel >> 8) & 0xFF);
        rgb[i * 3 + 2] = static_cast<png_byte>(pixel & 0xFF);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(screen.width);
    image.height = static_cast<png_uint_32>(screen.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path, 0, rgb.data(), screen.width * 3, nullptr)) {
        std::fprintf(stderr, "win32subset: cannot write the screen to %s: %s\n", path, image.message);
        png_image_free(&image);
        return -1;
    }
    return 0;
}
