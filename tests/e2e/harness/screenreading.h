#ifndef SCREENREADING_H
#define SCREENREADING_H

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QVector>

#include <functional>

// Reading a grab of the main window's client area as a person looks at it, without knowing
// the widget tree: the window's background colour is taken from its bottom-left corner, which
// lies in the layout's margin.
// What the screen shows in area (the whole screen for a null area), as 32-bit RGB.
QImage grabScreen(const QRect &area = QRect());

// Saves the whole screen for looking at after a failure, into PICTOLOOM_E2E_ARTIFACTS or the
// current folder; returns the file's path.
QString saveScreenshot(const QString &name);

// For a test's cleanup(): when the test function just failed, saves the screen as
// "<prefix>-<function>.png" and says where in a warning.
void saveScreenshotIfFailed(const QString &prefix);

QRgb backgroundColour(const QImage &client);

// The items of the row of controls at the bottom of the page (list, buttons), left to right:
// the runs of the row's top outline separated by background. Empty when no row is found.
QVector<QRect> controlRowItems(const QImage &client);

// The smallest rectangle holding every pixel that passes the test; null when none does.
QRect boundsOf(const QImage &image, const std::function<bool(QRgb)> &test,
               const QRect &within = QRect());
QRect boundsOfColour(const QImage &image, QRgb colour, const QRect &within = QRect());

int countPixels(const QImage &image, const QRect &area, const std::function<bool(QRgb)> &test);

// True when the area holds dark pixels, as text on the window's background does.
bool hasDarkPixels(const QImage &image, const QRect &area);

// The status area: the part of the control row between the painting list and "Options".
QRect statusArea(const QVector<QRect> &row);

#endif // SCREENREADING_H
