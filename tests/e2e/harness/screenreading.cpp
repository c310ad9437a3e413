#include "screenreading.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>

QImage grabScreen(const QRect &area)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QPixmap grab = area.isNull()
        ? screen->grabWindow(0)
        : screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    return grab.toImage().convertToFormat(QImage::Format_RGB32);
}

QString saveScreenshot(const QString &name)
{
    QString folder = qEnvironmentVariable("PICTOLOOM_E2E_ARTIFACTS");
    if (folder.isEmpty())
        folder = QDir::currentPath();
    QDir().mkpath(folder);
    const QString file = QDir(folder).filePath(name + ".png");
    return grabScreen().save(file) ? file : QString();
}

void saveScreenshotIfFailed(const QString &prefix)
{
    if (QTest::currentTestFailed()) {
        const QString name = QString("%1-%2").arg(prefix, QTest::currentTestFunction());
        qWarning("The screen at the failure: %s", qPrintable(saveScreenshot(name)));
    }
}

QRgb backgroundColour(const QImage &client)
{
    return client.pixel(1, client.height() - 2);
}

QVector<QRect> controlRowItems(const QImage &client)
{
    if (client.isNull())
        return {};
    const QRgb background = backgroundColour(client);
    const int width = client.width();
    auto rowOccupied = [&](int y) {
        for (int x = width / 2; x < width; ++x) {
            if (client.pixel(x, y) != background)
                return true;
        }
        return false;
    };

    // The buttons end the right half of the page: from the bottom margin up to the gap that
    // separates them from the editor above.
    int bottom = client.height() - 1;
    while (bottom > client.height() / 2 && !rowOccupied(bottom))
        --bottom;
    int top = bottom;
    while (top > client.height() / 2 && rowOccupied(top - 1))
        --top;
    if (top <= client.height() / 2 || bottom - top < 10)
        return {};

    // Along the top outline (and the row under it, for rounded corners) each control is one run.
    QVector<QRect> items;
    int runStart = -1;
    for (int x = 0; x <= width; ++x) {
        const bool occupied = x < width
            && (client.pixel(x, top) != background || client.pixel(x, top + 1) != background);
        if (occupied && runStart < 0)
            runStart = x;
        if (!occupied && runStart >= 0) {
            if (x - runStart >= 10)
                items.append(QRect(runStart, top, x - runStart, bottom - top + 1));
            runStart = -1;
        }
    }
    return items;
}

QRect boundsOf(const QImage &image, const std::function<bool(QRgb)> &test, const QRect &within)
{
    const QRect area = within.isNull() ? image.rect() : within.intersected(image.rect());
    int left = area.right() + 1, right = area.left() - 1;
    int top = area.bottom() + 1, bottom = area.top() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!test(image.pixel(x, y)))
                continue;
            left = qMin(left, x);
            right = qMax(right, x);
            top = qMin(top, y);
            bottom = qMax(bottom, y);
        }
    }
    if (right < left)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QRect boundsOfColour(const QImage &image, QRgb colour, const QRect &within)
{
    const QRgb wanted = colour | 0xff000000u;
    return boundsOf(image, [wanted](QRgb pixel) { return (pixel | 0xff000000u) == wanted; },
                    within);
}

int countPixels(const QImage &image, const QRect &area, const std::function<bool(QRgb)> &test)
{
    const QRect clipped = area.intersected(image.rect());
    int count = 0;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

bool hasDarkPixels(const QImage &image, const QRect &area)
{
    return countPixels(image, area, [](QRgb pixel) { return qGray(pixel) < 110; }) > 0;
}

QRect statusArea(const QVector<QRect> &row)
{
    if (row.size() < 4)
        return {};
    const QRect list = row.first();
    const QRect options = row.at(row.size() - 3);
    return QRect(QPoint(list.right() + 1, list.top()),
                 QPoint(options.left() - 1, options.bottom()));
}
