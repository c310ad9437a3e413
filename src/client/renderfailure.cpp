#include "client/renderfailure.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RenderFailure", text);
}

} // namespace

QString renderFailureText(const RenderResult &result)
{
    switch (result.outcome) {
    case RenderResult::Outcome::ScriptError:
        return result.errorText;
    case RenderResult::Outcome::NoPixels:
        return tr("the painting's size, %1 × %2, leaves no pixels")
            .arg(result.scriptWidth, result.scriptHeight);
    case RenderResult::Outcome::TooLarge:
        if (!result.size.isValid()) {
            return tr("the painting's size, %1 × %2, is too large for a picture")
                .arg(result.scriptWidth, result.scriptHeight);
        }
        return tr("a picture of %1 × %2 pixels is too large to create")
            .arg(result.size.width())
            .arg(result.size.height());
    case RenderResult::Outcome::RendererFailed:
        return tr("the renderer stopped: %1").arg(result.errorText);
    case RenderResult::Outcome::Stopped:
        return tr("the render was stopped");
    case RenderResult::Outcome::Picture:
        break;
    }
    return QString();
}
