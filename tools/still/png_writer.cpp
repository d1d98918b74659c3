#include "tools/still/png_writer.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libpng reports errors by longjmp; the message is kept for the caller.
struct PngErrors {
    char message[256];
};

void on_png_error(png_structp png, png_const_charp message)
{
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->message, sizeof errors->message, "%s", message);
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// Encodes the image into an open file. Only plain data lives in this frame,
// as longjmp leaves it.
bool encode(std::FILE* file, int width, int height, const uint8_t* rgba, png_bytep* rows,
            PngErrors* errors)
{
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, errors, on_png_error, on_png_warning);
    if (png == nullptr) {
        std::snprintf(errors->message, sizeof errors->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    for (int y = 0; y < height; ++y) {
        rows[y] =
            const_cast<png_bytep>(rgba + static_cast<size_t>(y) * static_cast<size_t>(width) * 4);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

}  // namespace

bool write_png(const std::string& path, int width, int height, const uint8_t* rgba,
               std::string& error)
{
    if (width <= 0 || height <= 0 || rgba == nullptr) {
        error = "cannot write " + quoted(path) + ": the image is empty";
        return false;
    }
    // The temporary file sits beside the target so the rename stays on one
    // file system and cannot be seen half done.
    std::string temporary = path + ".partial-XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        error = "cannot write " + quoted(path) + ": " + std::strerror(errno);
        return false;
    }
    std::FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        error = "cannot write " + quoted(path) + ": " + std::strerror(errno);
        close(descriptor);
        unlink(temporary.c_str());
        return false;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    PngErrors errors{};
    const bool encoded = encode(file, width, height, rgba, rows.data(), &errors);
    errno = 0;
    const bool flushed = std::fflush(file) == 0;
    const int flush_errno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !flushed || !closed) {
        const char* cause =
            !encoded ? errors.message : std::strerror(flush_errno != 0 ? flush_errno : EIO);
        error = "cannot write " + quoted(path) + ": " + cause;
        unlink(temporary.c_str());
        return false;
    }
    // mkstemp makes the file private; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temporary.c_str(), 0666 & ~mask);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + quoted(path) + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
