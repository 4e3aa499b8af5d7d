/*
 * Preloaded into the i386 Wine loader when it runs under qemu-user.
 *
 * qemu-user 7.2 does not implement MAP_FIXED_NOREPLACE: it treats the
 * address as a plain hint and maps the block somewhere else when the
 * requested range is busy.  Wine relies on the flag when it reserves its
 * address space; with the wrong semantics it keeps the misplaced blocks as
 * reservations and then retries the whole upper 2 GB in 64 KB steps, which
 * costs ~40 s of CPU per process and leaves the DLL load addresses taken.
 *
 * Here the flag gets the kernel's meaning: map at exactly ADDR or fail
 * with EEXIST.  Built with -nostdlib; syscall() and __errno_location()
 * are resolved from the guest libc at load time.
 */
#include <stddef.h>

#define NR_munmap 91
#define NR_mmap2 192
#define FLAG_MAP_FIXED 0x10
#define FLAG_MAP_FIXED_NOREPLACE 0x100000
#define ERR_EEXIST 17
#define ERR_EINVAL 22
#define PAGE_SHIFT 12

extern long syscall(long number, ...);
extern int* __errno_location(void);

static void* map_pages(void* addr, size_t len, int prot, int flags, int fd, unsigned long pgoff) {
    long r;

    if ((flags & FLAG_MAP_FIXED_NOREPLACE) && !(flags & FLAG_MAP_FIXED)) {
        r = syscall(NR_mmap2, addr, len, prot, flags & ~FLAG_MAP_FIXED_NOREPLACE, fd, pgoff);
        if (r == -1)
            return (void*)-1;
        if ((void*)r != addr) {
            syscall(NR_munmap, r, len);
            *__errno_location() = ERR_EEXIST;
            return (void*)-1;
        }
        return (void*)r;
    }
    return (void*)syscall(NR_mmap2, addr, len, prot, flags, fd, pgoff);
}

__attribute__((visibility("default"))) void* mmap64(void* addr, size_t len, int prot, int flags,
                                                    int fd, long long offset) {
    if (offset & ((1 << PAGE_SHIFT) - 1) || offset < 0 ||
        (unsigned long long)offset >> PAGE_SHIFT > 0xffffffffULL) {
        *__errno_location() = ERR_EINVAL;
        return (void*)-1;
    }
    return map_pages(addr, len, prot, flags, fd, (unsigned long)(offset >> PAGE_SHIFT));
}

__attribute__((visibility("default"))) void* mmap(void* addr, size_t len, int prot, int flags,
                                                  int fd, long offset) {
    return mmap64(addr, len, prot, flags, fd, offset);
}
