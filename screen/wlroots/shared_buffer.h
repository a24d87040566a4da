#pragma once

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstddef>
#include <cstdint>

// A buffer in shared memory of the reader's, given back with it; an overlay's is
// never written, and its zero bytes are fully transparent.
struct SharedBuffer {
    wl_buffer* buffer = nullptr;
    void* data = MAP_FAILED;
    std::size_t size = 0;

    SharedBuffer(wl_shm* shm, std::int32_t width, std::int32_t height, std::int32_t stride,
                 std::uint32_t format, bool readBack)
        : size(std::size_t(stride) * std::size_t(height)) {
        const int fd = width > 0 && height > 0 && stride >= width * 4
                           ? memfd_create("pixel-sampler", MFD_CLOEXEC)
                           : -1;
        if (fd < 0 || ftruncate(fd, off_t(size)) < 0 ||
            (readBack &&
             (data = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0)) == MAP_FAILED)) {
            if (fd >= 0) {
                close(fd);
            }
            return;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, std::int32_t(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
        wl_shm_pool_destroy(pool);
        close(fd);
    }
    ~SharedBuffer() {
        if (buffer) {
            wl_buffer_destroy(buffer);
        }
        if (data != MAP_FAILED) {
            munmap(data, size);
        }
    }
    SharedBuffer(const SharedBuffer&) = delete;
    SharedBuffer& operator=(const SharedBuffer&) = delete;
};
