#include "protocol/sharedpicture.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(const char *action)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(action), QString::fromLocal8Bit(strerror(errno)));
}

// MAP_POPULATE sets every page up in one call rather than in one fault per page. The window
// maps the picture while it stays responsive, so there it does so only for pictures of up to
// this size; larger ones take their faults as they are shown.
constexpr qint64 maxWindowPopulated = qint64(64) << 20;

uchar *mapShared(int file, qint64 offset, qint64 bytes, int protection, bool populate = true)
{
    void *address = mmap(nullptr, size_t(bytes), protection,
                         MAP_SHARED | (populate ? MAP_POPULATE : 0), file, offset);
    return address == MAP_FAILED ? nullptr : static_cast<uchar *>(address);
}

qint64 fileSize(int file)
{
    struct stat status;
    return fstat(file, &status) == 0 ? qint64(status.st_size) : -1;
}

// A file grown beyond the file size limit would raise SIGXFSZ, which ends the process.
bool withinFileSizeLimit(qint64 bytes)
{
    rlimit limit;
    return getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY
        || rlim_t(bytes) <= limit.rlim_cur;
}

// Grows the file to bytes with every page allocated; never shrinks it.
bool allocate(int file, qint64 bytes)
{
    if (!withinFileSizeLimit(bytes))
        return false;
    while (fallocate(file, 0, 0, bytes) != 0) {
        if (errno == EOPNOTSUPP)
            return ftruncate(file, bytes) == 0;
        if (errno != EINTR)
            return false;
    }
    return true;
}

struct Mapping
{
    uchar *address;
    qint64 bytes;
};

void releaseMapping(void *data)
{
    auto *mapping = static_cast<Mapping *>(data);
    munmap(mapping->address, size_t(mapping->bytes));
    delete mapping;
}

} // namespace

qint64 pictureBytes(int width, int rows)
{
    if (width < 0 || rows < 0)
        return -1;
    const qint64 bytesPerLine = qint64(width) * 4;
    if (rows > 0 && bytesPerLine > std::numeric_limits<int>::max() / rows)
        return -1;
    return bytesPerLine * rows;
}

SharedPicture::SharedPicture(qint64 readyBytes)
{
    file = memfd_create("pictoloom-picture", MFD_CLOEXEC);
    if (file < 0) {
        error = systemError("memfd_create");
        return;
    }
    // The renderer allocates the memory as it waits; growing the file costs nothing here.
    if (readyBytes > 0 && withinFileSizeLimit(readyBytes))
        ftruncate(file, readyBytes);
}

void SharedPicture::map()
{
    const qint64 bytes = file >= 0 && !mapping ? fileSize(file) : 0;
    if (bytes > 0) {
        mapping = mapShared(file, 0, bytes, PROT_READ, bytes <= maxWindowPopulated);
        mappedBytes = mapping ? bytes : 0;
    }
}

QImage SharedPicture::mappedRows(int width, int first, int count) const
{
    const qint64 offset = pictureBytes(width, first);
    const qint64 bytes = pictureBytes(width, count);
    if (!mapping || offset < 0 || bytes <= 0 || offset + bytes > mappedBytes)
        return QImage();
    // The const bits keep the image from ever writing to the read-only mapping.
    const uchar *start = mapping + offset;
    return QImage(start, width, count, width * 4, QImage::Format_RGB32);
}

SharedPicture::~SharedPicture()
{
    if (mapping)
        munmap(mapping, size_t(mappedBytes));
    if (file >= 0)
        close(file);
}

QImage SharedPicture::takeImage(int width, int rows, Failure *failure)
{
    *failure = Failure::None;
    const qint64 bytes = pictureBytes(width, rows);
    if (file < 0 || bytes <= 0 || fileSize(file) < bytes) {
        *failure = Failure::TooShort;
        return QImage();
    }
    if (mappedBytes < bytes) {
        if (mapping)
            munmap(mapping, size_t(mappedBytes));
        mapping = mapShared(file, 0, bytes, PROT_READ, bytes <= maxWindowPopulated);
        mappedBytes = mapping ? bytes : 0;
        if (!mapping) {
            error = systemError("mmap");
            *failure = Failure::NoMemory;
            return QImage();
        }
    }
    // Memory set up for a larger picture than this one goes back to the system.
    if (fileSize(file) > bytes)
        ftruncate(file, bytes);
    auto *owned = new Mapping{mapping, mappedBytes};
    mapping = nullptr;
    mappedBytes = 0;
    return QImage(owned->address, width, rows, width * 4, QImage::Format_RGB32, releaseMapping, owned);
}

SharedPictureRows::SharedPictureRows(int memoryFile)
    : file(memoryFile)
{
    const qint64 bytes = fileSize(file);
    if (bytes > 0 && allocate(file, bytes)) {
        ready = mapShared(file, 0, bytes, PROT_READ | PROT_WRITE);
        readyBytes = ready ? bytes : 0;
    }
}

bool SharedPictureRows::reserve(qint64 bytes)
{
    return bytes >= 0 && allocate(file, bytes);
}

QImage SharedPictureRows::rows(int width, int first, int count)
{
    const qint64 offset = pictureBytes(width, first);
    const qint64 bytes = pictureBytes(width, count);
    if (offset < 0 || bytes <= 0 || fileSize(file) < offset + bytes)
        return QImage();
    uchar *start = nullptr;
    if (offset + bytes <= readyBytes) {
        start = ready + offset;
    } else {
        const qint64 pageOffset = offset - offset % sysconf(_SC_PAGESIZE);
        uchar *mapped = mapShared(file, pageOffset, offset - pageOffset + bytes, PROT_READ | PROT_WRITE);
        if (!mapped)
            return QImage();
        start = mapped + (offset - pageOffset);
    }
    return QImage(start, width, count, width * 4, QImage::Format_RGB32);
}
