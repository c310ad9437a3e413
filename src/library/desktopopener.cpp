#include "library/desktopopener.h"

#include <QDesktopServices>

namespace {

DesktopOpener &currentOpener()
{
    static DesktopOpener opener;
    return opener;
}

} // namespace

void openInDesktop(const QString &path)
{
    const QUrl url(path);
    if (currentOpener())
        currentOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

void setDesktopOpener(DesktopOpener opener)
{
    currentOpener() = std::move(opener);
}
