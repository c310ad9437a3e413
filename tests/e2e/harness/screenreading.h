#ifndef SCREENREADING_H
#define SCREENREADING_H

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QVector>

#include <functional>

// Reading a grab of the main window's client area as a person looks at it, without knowing
// the widget tree: the window's background colour is taken from its bottom-left corner, which
// lies in the layout's margin.
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
