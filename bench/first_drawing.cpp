// A shim preloaded into a program under X (LD_PRELOAD) by run_start
// --until-drawn: the first time the program sends pixels to one of its
// windows on the X server (an image put into it, or an area copied into
// it; pictures put into pixmaps, such as the mouse pointer's, are not
// drawings of the window), the time on the monotonic clock goes into the
// file descriptor named by FIRST_DRAWING_FD, once. What the program does
// then is its own.

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <iterator>
#include <unistd.h>

namespace {

bool told = false;
// The pixmaps the program made, the first of them.
std::uint32_t pixmaps[1024];
int pixmap_count = 0;

bool Is_pixmap(std::uint32_t drawable)
{
    for (int i = 0; i < pixmap_count; ++i)
        if (pixmaps[i] == drawable)
            return true;
    return false;
}

void Tell_first_drawing(std::uint32_t drawable)
{
    if (told || Is_pixmap(drawable))
        return;
    told = true;
    const char* fd_text = std::getenv("FIRST_DRAWING_FD");
    if (!fd_text)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::int64_t ns = std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    [[maybe_unused]] const ssize_t written = ::write(std::atoi(fd_text), &ns, sizeof ns);
}

// The library's own function. Qt's X platform plugin, and with it the xcb
// libraries, is loaded with dlopen and kept out of the global scope, where
// RTLD_NEXT looks: the library is asked by name.
template <typename F>
F Next(const char* library, const char* name)
{
    if (void* next = ::dlsym(RTLD_NEXT, name))
        return reinterpret_cast<F>(next);
    void* handle = ::dlopen(library, RTLD_LAZY);
    return reinterpret_cast<F>(handle ? ::dlsym(handle, name) : nullptr);
}

// xcb's cookies are a struct of one unsigned int; the arguments are passed
// on as they came, so their types need only match in size and kind.
struct Cookie {
    unsigned int sequence;
};

}  // namespace

extern "C" {

// xcb_shm_put_image (and its _checked form), xcb_put_image and xcb_copy_area:
// Qt's X backing store draws a window with one of them.
#define FIRST_DRAWING_PASS(library, name, params, args, drawable)                                  \
    Cookie name params                                                                             \
    {                                                                                              \
        static auto next = Next<Cookie(*) params>(library, #name);                                 \
        const Cookie cookie = next args;                                                           \
        Tell_first_drawing(drawable);                                                              \
        return cookie;                                                                             \
    }

Cookie xcb_create_pixmap(void* c, std::uint8_t depth, std::uint32_t pid, std::uint32_t drawable,
                         std::uint16_t width, std::uint16_t height)
{
    static auto next =
        Next<Cookie (*)(void*, std::uint8_t, std::uint32_t, std::uint32_t, std::uint16_t,
                        std::uint16_t)>("libxcb.so.1", "xcb_create_pixmap");
    if (pixmap_count < int(std::size(pixmaps)))
        pixmaps[pixmap_count++] = pid;
    return next(c, depth, pid, drawable, width, height);
}

// The checked and unchecked shared-memory puts take the same arguments.
#define SHM_PUT_IMAGE_PARAMS                                                                       \
    (void* c, std::uint32_t drawable, std::uint32_t gc, std::uint16_t total_width,                 \
     std::uint16_t total_height, std::uint16_t src_x, std::uint16_t src_y,                         \
     std::uint16_t src_width, std::uint16_t src_height, std::int16_t dst_x, std::int16_t dst_y,    \
     std::uint8_t depth, std::uint8_t format, std::uint8_t send_event, std::uint32_t shmseg,       \
     std::uint32_t offset)
#define SHM_PUT_IMAGE_ARGS                                                                         \
    (c, drawable, gc, total_width, total_height, src_x, src_y, src_width, src_height, dst_x,       \
     dst_y, depth, format, send_event, shmseg, offset)

FIRST_DRAWING_PASS("libxcb-shm.so.0", xcb_shm_put_image, SHM_PUT_IMAGE_PARAMS, SHM_PUT_IMAGE_ARGS,
                   drawable)
FIRST_DRAWING_PASS("libxcb-shm.so.0", xcb_shm_put_image_checked, SHM_PUT_IMAGE_PARAMS,
                   SHM_PUT_IMAGE_ARGS, drawable)
FIRST_DRAWING_PASS("libxcb.so.1", xcb_put_image,
                   (void* c, std::uint8_t format, std::uint32_t drawable, std::uint32_t gc,
                    std::uint16_t width, std::uint16_t height, std::int16_t dst_x,
                    std::int16_t dst_y, std::uint8_t left_pad, std::uint8_t depth,
                    std::uint32_t data_len, const std::uint8_t* data),
                   (c, format, drawable, gc, width, height, dst_x, dst_y, left_pad, depth, data_len,
                    data),
                   drawable)
FIRST_DRAWING_PASS("libxcb.so.1", xcb_copy_area,
                   (void* c, std::uint32_t src, std::uint32_t dst, std::uint32_t gc,
                    std::int16_t src_x, std::int16_t src_y, std::int16_t dst_x, std::int16_t dst_y,
                    std::uint16_t width, std::uint16_t height),
                   (c, src, dst, gc, src_x, src_y, dst_x, dst_y, width, height), dst)
}
