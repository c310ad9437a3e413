#ifndef RENDERFAILURE_H
#define RENDERFAILURE_H

#include "core/renderresult.h"

#include <QString>

// Why a render gave no picture, in the words users read, starting in lower case so that it
// fits into a sentence: "the painting's size, 640 × 0, leaves no pixels". A script error is
// its error's text; a picture has none.
QString renderFailureText(const RenderResult &result);

#endif // RENDERFAILURE_H
