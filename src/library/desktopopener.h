#ifndef DESKTOPOPENER_H
#define DESKTOPOPENER_H

#include <QString>
#include <QUrl>

#include <functional>

// Every request to open a file in the desktop's associated program goes through here, so
// that tests can record the requests instead of starting programs.
using DesktopOpener = std::function<void(const QUrl &url)>;

// Hands path to the desktop as a URL made from the path string unchanged.
void openInDesktop(const QString &path);

// Replaces the opener; an empty function restores QDesktopServices::openUrl.
void setDesktopOpener(DesktopOpener opener);

#endif // DESKTOPOPENER_H
