// A PNG file written by the host's --snapshot, read back as pixels, for
// tests that look at what the screen showed. Link PNG::PNG.
#pragma once

#include <png.h>

#include <cstddef>
#include <string>
#include <vector>

namespace testsupport {

struct PngPixels {
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgb;  // three bytes a pixel, row by row
    // The pixel at (x, y) as 0xRRGGBB.
    unsigned at(int x, int y) const {
        const unsigned char* pixel = &rgb[(static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 3];
        return unsigned(pixel[0]) << 16 | unsigned(pixel[1]) << 8 | unsigned(pixel[2]);
    }
};

// Empty (width 0) when the file cannot be read as PNG.
inline PngPixels readPngPixels(const std::string& path) {
    PngPixels pixels;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return pixels;
    image.format = PNG_FORMAT_RGB;
    pixels.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.rgb.data(), 0, nullptr)) return PngPixels{};
    pixels.width = image.width;
    pixels.height = image.height;
    return pixels;
}

}  // namespace testsupport
