#ifndef SHAREDPICTURE_H
#define SHAREDPICTURE_H

#include <QImage>
#include <QString>

// The bytes of a picture width pixels wide and rows high, or -1 when it is larger than an
// image may be.
qint64 pictureBytes(int width, int rows);

// The memory a picture is rendered into, shared by the window and its renderer processes: the
// renderers write their rows straight into it, and the window shows it without copying it. It
// is an anonymous memory file, so nothing is left behind however the processes end.
class SharedPicture
{
public:
    // readyBytes: memory for the renderer to set up as it waits for its job, so that a picture
    // that fits needs no fresh pages during its render.
    explicit SharedPicture(qint64 readyBytes = 0);
    ~SharedPicture();
    SharedPicture(const SharedPicture &) = delete;
    SharedPicture &operator=(const SharedPicture &) = delete;

    bool isValid() const { return file >= 0; }
    QString errorString() const { return error; }
    // Renderer processes inherit this file descriptor.
    int fileDescriptor() const { return file; }

    // Maps the memory, as large as it is now: best while the renderers render into it, so that
    // the picture is ready to show once they are done.
    void map();
    // Rows [first, first + count) of the picture width pixels wide, as far as the renderers
    // have written them, over the mapped memory: valid until takeImage() or the end of this
    // object; null when the mapping does not hold them.
    QImage mappedRows(int width, int first, int count) const;

    enum class Failure { None, TooShort, NoMemory };
    // The picture the renderers have written, row after row. The image keeps the memory for as
    // long as it lives; null, with the reason in *failure, when there is none to take.
    QImage takeImage(int width, int rows, Failure *failure);

private:
    int file = -1;
    uchar *mapping = nullptr;
    qint64 mappedBytes = 0;
    QString error;
};

// A renderer process's side of the shared memory, whose file descriptor it inherited. Its
// mappings last as long as the process, which ends after its one render.
class SharedPictureRows
{
public:
    // Allocates and maps the memory the window asked for, as the renderer waits for its job.
    explicit SharedPictureRows(int file);

    // Makes the memory hold a picture of this many bytes, all of them allocated now, so that
    // a render that could not finish fails before its first pixel.
    bool reserve(qint64 bytes);
    // Rows [first, first + count) of a picture width pixels wide, to render into; null when
    // the memory does not hold them.
    QImage rows(int width, int first, int count);

private:
    int file;
    uchar *ready = nullptr;
    qint64 readyBytes = 0;
};

#endif // SHAREDPICTURE_H
