/* A read-only FUSE file system whose opens and reads can be made to stall in the kernel, the
 * way a share that stops answering holds a reader: the stall tests (stalls.sh) run Dravik.exe
 * over it under Wine. Two files of the vectors' pattern (byte i = (i * 7 + 3) mod 256):
 * big.bin (64 MiB) and small.bin (5,000,000 bytes, a length with vectors). Only big.bin is
 * ever held.
 *
 * Controlled through plain files in a folder outside the mount (CONTROL):
 *   mode        written by the tests (empty or unreadable: the last mode stays):
 *                 none         nothing is held
 *                 open         looking big.bin up by name blocks (the step of every open)
 *                 read OFFSET  every read of big.bin that reaches past OFFSET blocks
 *               A held request waits, looking at mode every 10 ms, until mode no longer holds
 *               it; when the kernel interrupts it (a signal reached the process that waits
 *               on it) it fails with EINTR at once.
 *   stalled     made while at least one request is held, one line per held request
 *               ("open" or "read OFFSET SIZE"); removed when none is.
 *   open_count  one line per file: NAME OPEN_NOW OPENED_IN_ALL (opens minus releases, opens).
 *   interrupted how many held requests ended as interrupted.
 *   ready       made once the kernel has mounted the file system.
 * Control files are written under a temporary name and renamed into place, so a reader never
 * sees half of one.
 *
 * Under Wine the Wine server opens files for its programs and serves every program of its
 * prefix from one thread: a held open there would freeze all of them, which no Windows does.
 * So the open is held in the lookup by name that the program's own thread makes first (every
 * CreateFile of a path), never for the Wine server itself, and the open request that follows
 * is never held. Lookups and attributes are not cached (timeouts 0) and reads bypass the page
 * cache (direct_io), so every open and read reaches this program.
 *
 * Usage: stall_fs CONTROL MOUNTPOINT [FUSE options]   (runs in the foreground)
 */
#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

struct served_file {
    const char* path;
    uint64_t size;
    ino_t inode;
    int open_now;
    int opened;
};

static struct served_file files[] = {
    {"/big.bin", 64ull << 20, 2, 0, 0},
    {"/small.bin", 5000000, 3, 0, 0},
};
enum { file_count = sizeof files / sizeof files[0], held_file = 0 };

enum mode_kind { mode_none, mode_open, mode_read };

struct mode {
    enum mode_kind kind;
    uint64_t offset;
};

static char control[4096];
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static struct mode last_mode = {mode_none, 0};
static char held[64][48]; /* what each held request is, for the stalled file */
static int held_used[64];
static unsigned interrupted_count;
static const time_t file_time = 1700000000; /* 2023-11-14, the same at every mount */

/* Writes text to CONTROL/name through a temporary file and a rename; called with lock held
 * (or before any request), so one temporary name per file does. */
static void write_control(const char* name, const char* text)
{
    char path[4200], temporary[4300];
    snprintf(path, sizeof path, "%s/%s", control, name);
    snprintf(temporary, sizeof temporary, "%s/.%s.new", control, name);
    FILE* out = fopen(temporary, "w");
    if (out == NULL)
        return;
    fputs(text, out);
    if (fclose(out) == 0)
        rename(temporary, path);
    else
        unlink(temporary);
}

static struct mode read_mode(void)
{
    char path[4200], text[128] = {0};
    snprintf(path, sizeof path, "%s/mode", control);
    FILE* in = fopen(path, "r");
    struct mode mode;
    pthread_mutex_lock(&lock);
    mode = last_mode;
    pthread_mutex_unlock(&lock);
    if (in == NULL)
        return mode;
    size_t length = fread(text, 1, sizeof text - 1, in);
    fclose(in);
    text[length] = '\0';
    unsigned long long offset = 0;
    if (strncmp(text, "none", 4) == 0) {
        mode.kind = mode_none;
    } else if (strncmp(text, "open", 4) == 0) {
        mode.kind = mode_open;
    } else if (sscanf(text, "read %llu", &offset) == 1) {
        mode.kind = mode_read;
        mode.offset = offset;
    } else {
        return mode; /* empty, or being written: the last one stays */
    }
    pthread_mutex_lock(&lock);
    last_mode = mode;
    pthread_mutex_unlock(&lock);
    return mode;
}

/* Called with lock held. */
static void write_open_count(void)
{
    char text[512];
    size_t used = 0;
    for (int i = 0; i < file_count; ++i)
        used += (size_t)snprintf(text + used, sizeof text - used, "%s %d %d\n", files[i].path + 1,
                                 files[i].open_now, files[i].opened);
    write_control("open_count", text);
}

/* Called with lock held. */
static void write_stalled(void)
{
    char text[64 * 50];
    size_t used = 0;
    for (int i = 0; i < 64; ++i)
        if (held_used[i])
            used += (size_t)snprintf(text + used, sizeof text - used, "%s\n", held[i]);
    char path[4200];
    snprintf(path, sizeof path, "%s/stalled", control);
    if (used == 0)
        unlink(path);
    else
        write_control("stalled", text);
}

static int is_held(const struct mode* mode, enum mode_kind kind, uint64_t end)
{
    if (mode->kind != kind)
        return 0;
    return kind == mode_open || end > mode->offset;
}

/* Holds the calling request while mode holds it: 0 once let go, -EINTR when interrupted. */
static int stall(enum mode_kind kind, uint64_t offset, uint64_t size)
{
    struct mode mode = read_mode();
    if (!is_held(&mode, kind, offset + size))
        return 0;
    int slot = -1;
    pthread_mutex_lock(&lock);
    for (int i = 0; i < 64 && slot < 0; ++i)
        if (!held_used[i])
            slot = i;
    if (slot >= 0) {
        held_used[slot] = 1;
        if (kind == mode_open)
            snprintf(held[slot], sizeof held[slot], "open");
        else
            snprintf(held[slot], sizeof held[slot], "read %llu %llu", (unsigned long long)offset,
                     (unsigned long long)size);
        write_stalled();
    }
    pthread_mutex_unlock(&lock);
    int result = 0;
    for (;;) {
        if (fuse_interrupted()) {
            result = -EINTR;
            break;
        }
        mode = read_mode();
        if (!is_held(&mode, kind, offset + size))
            break;
        usleep(10000);
    }
    pthread_mutex_lock(&lock);
    if (result != 0) {
        char text[32];
        snprintf(text, sizeof text, "%u\n", ++interrupted_count);
        write_control("interrupted", text);
    }
    if (slot >= 0) {
        held_used[slot] = 0;
        write_stalled();
    }
    pthread_mutex_unlock(&lock);
    return result;
}

static struct served_file* find(const char* path)
{
    for (int i = 0; i < file_count; ++i)
        if (strcmp(path, files[i].path) == 0)
            return &files[i];
    return NULL;
}

/* The Wine server, which opens files for every program of its prefix, is never held. */
static int caller_is_wine_server(void)
{
    char path[64], name[32] = {0};
    snprintf(path, sizeof path, "/proc/%d/comm", (int)fuse_get_context()->pid);
    FILE* in = fopen(path, "r");
    if (in == NULL)
        return 0;
    size_t length = fread(name, 1, sizeof name - 1, in);
    fclose(in);
    name[length] = '\0';
    return strncmp(name, "wineserver", 10) == 0;
}

static void* stall_init(struct fuse_conn_info* connection, struct fuse_config* config)
{
    (void)connection;
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    config->use_ino = 1;
    config->direct_io = 1;
    config->kernel_cache = 0;
    pthread_mutex_lock(&lock);
    write_open_count();
    write_control("ready", "1\n");
    pthread_mutex_unlock(&lock);
    return NULL;
}

static int stall_getattr(const char* path, struct stat* st, struct fuse_file_info* info)
{
    memset(st, 0, sizeof *st);
    st->st_uid = getuid();
    st->st_gid = getgid();
    st->st_mtime = st->st_ctime = st->st_atime = file_time;
    if (strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        st->st_ino = 1;
        return 0;
    }
    struct served_file* file = find(path);
    if (file == NULL)
        return -ENOENT;
    /* A lookup by name (no open handle) of the held file, made by a program's own thread. */
    if (info == NULL && file == &files[held_file] && !caller_is_wine_server()) {
        int held_result = stall(mode_open, 0, 0);
        if (held_result != 0)
            return held_result;
    }
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    st->st_ino = file->inode;
    st->st_size = (off_t)file->size;
    st->st_blksize = 4096;
    st->st_blocks = (blkcnt_t)((file->size + 511) / 512);
    return 0;
}

static int stall_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                         struct fuse_file_info* info, enum fuse_readdir_flags flags)
{
    (void)offset;
    (void)info;
    (void)flags;
    if (strcmp(path, "/") != 0)
        return -ENOENT;
    fill(buffer, ".", NULL, 0, 0);
    fill(buffer, "..", NULL, 0, 0);
    for (int i = 0; i < file_count; ++i)
        fill(buffer, files[i].path + 1, NULL, 0, 0);
    return 0;
}

static int stall_open(const char* path, struct fuse_file_info* info)
{
    struct served_file* file = find(path);
    if (file == NULL)
        return -ENOENT;
    if ((info->flags & O_ACCMODE) != O_RDONLY)
        return -EACCES;
    info->direct_io = 1;
    info->keep_cache = 0;
    info->fh = (uint64_t)(file - files);
    pthread_mutex_lock(&lock);
    ++file->open_now;
    ++file->opened;
    write_open_count();
    pthread_mutex_unlock(&lock);
    return 0;
}

static int stall_release(const char* path, struct fuse_file_info* info)
{
    (void)path;
    pthread_mutex_lock(&lock);
    --files[info->fh].open_now;
    write_open_count();
    pthread_mutex_unlock(&lock);
    return 0;
}

static int stall_read(const char* path, char* buffer, size_t size, off_t offset,
                      struct fuse_file_info* info)
{
    (void)path;
    struct served_file* file = &files[info->fh];
    if (offset < 0)
        return -EINVAL;
    const uint64_t start = (uint64_t)offset;
    if (start >= file->size)
        return 0;
    if (size > file->size - start)
        size = (size_t)(file->size - start);
    if (info->fh == held_file) {
        int held_result = stall(mode_read, start, size);
        if (held_result != 0)
            return held_result;
    }
    for (size_t i = 0; i < size; ++i)
        buffer[i] = (char)(uint8_t)((start + i) * 7 + 3);
    return (int)size;
}

static const struct fuse_operations operations = {
    .getattr = stall_getattr,
    .readdir = stall_readdir,
    .open = stall_open,
    .release = stall_release,
    .read = stall_read,
    .init = stall_init,
};

int main(int argc, char* argv[])
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s CONTROL MOUNTPOINT [FUSE options]\n", argv[0]);
        return 2;
    }
    if (realpath(argv[1], control) == NULL) {
        perror(argv[1]);
        return 2;
    }
    /* fuse_main sees: program MOUNTPOINT -f [options]; the control folder is ours. */
    char* fuse_argv[64];
    int fuse_argc = 0;
    fuse_argv[fuse_argc++] = argv[0];
    fuse_argv[fuse_argc++] = argv[2];
    fuse_argv[fuse_argc++] = "-f";
    for (int i = 3; i < argc && fuse_argc < 63; ++i)
        fuse_argv[fuse_argc++] = argv[i];
    fuse_argv[fuse_argc] = NULL;
    return fuse_main(fuse_argc, fuse_argv, &operations, NULL);
}
