// The pixel loop of the renderer, made before the painting scripts run.
//
// Calling into the engine once per pixel costs far more than the pixel itself, so the pixels
// are rendered in runs by one call of a function that lives inside the engine: it sets x and y,
// calls render, reads r, g and b and turns each into its channel byte. It uses no built-in that
// a script could redefine, and it is made by a script rather than by a call from the host,
// because functions whose scope a host call created run several times slower in this engine.
// An object that render returns or throws goes back to the host, which alone can tell an Error
// object from any other; the run then resumes after it. The bytes of a run come back in an
// array, two numbers per pixel, (R << 8) | G and B, which the host turns into one string.
//
// The channel rule, for a number v: the low 8 bits of the exact product v * 255 truncated toward
// zero, or 0 when the truncated product leaves 32 bits. It stands written out for each channel,
// because a call costs more than the rule. Only a rounded product that lands on an integer can
// be one too far from zero; the sign of (v * 256 - t) - v, which is computed exactly, tells
// whether the true product lies below t. Products on or beyond the 32-bit limits take the exact
// but slower edgeByte().
(function (global, toText) {
    var render, renderIsFunction, step, bytes, column = 0, end = 0, y = 0;
    // Beyond (-2^31, 2^31) only a product rounded onto one of the limits can truncate to a
    // 32-bit value with a non-zero low byte.
    function edgeByte(v, p) {
        if (p === 2147483648)
            return (v * 256 - p) - v < 0 ? 255 : 0;
        if (p === -2147483648)
            return (v * 256 - p) - v > 0 ? 1 : 0;
        return 0;
    }
    function number(value) {
        try { return +value; } catch (e) { return NaN; }
    }
    function text(value) {
        try {
            return toText(value);
        } catch (thrown) {
            try { return toText(thrown); } catch (e) { return ""; }
        }
    }
    // What the host reads once the scripts have run: render, width and height as numbers and
    // as text, and whether the painting asks for a parallel render.
    function settings() {
        var f, w, h, p;
        try { f = global.render; } catch (e) {}
        try { w = global.width; } catch (e) {}
        try { h = global.height; } catch (e) {}
        try { p = global.parallel; } catch (e) {}
        return [f, number(w), number(h), text(w), text(h), p === true];
    }
    // Whether the scripts set frames to a number, frames and fps as numbers and as text, and
    // whether fps was left unset.
    function timing() {
        var n, r;
        try { n = global.frames; } catch (e) {}
        try { r = global.fps; } catch (e) {}
        return [typeof n === "number", typeof n === "number" ? n : 0, typeof r === "number" ? r : NaN,
                text(n), text(r), r === void 0];
    }
    // The file name and line the engine gave a thrown error; getters may run script code.
    function origin(error) {
        var file, line;
        try { file = error.fileName; } catch (e) {}
        try { line = error.lineNumber; } catch (e) {}
        return [typeof file === "string" ? file : "", typeof line === "number" ? line : 0];
    }
    // Where the pixel whose render call returned or threw an object was, in script units.
    function failedPixel() {
        return [column * step, y];
    }
    function configure(renderValue, isFunction, stepValue, bytesValue) {
        render = renderValue;
        renderIsFunction = isFunction;
        step = stepValue;
        bytes = bytesValue;
    }
    function run(row, first, last, resuming) {
        // Locals, because the engine reaches them faster than the enclosing function's.
        var g = global, f = render, callRender = renderIsFunction, out = bytes;
        var j, at, returned, red, green, blue, p, t, e, stop, sy, s = step;
        if (resuming) {
            j = column;
            at = 2 * (j - first);
        } else {
            j = first;
            at = 0;
            end = last;
            y = row * step;
        }
        stop = end;
        sy = y;
        for (;;) {
            if (!resuming) {
                if (j >= stop)
                    return out;
                try { g.x = j * s; } catch (e) {}
                try { g.y = sy; } catch (e) {}
                if (callRender) {
                    try { returned = f(); } catch (e) { returned = e; }
                    if (returned !== void 0 && typeof returned === "object" && returned !== null) {
                        column = j;
                        return returned;
                    }
                }
            }
            resuming = false;
            try { red = +g.r; } catch (e) { red = 0; }
            try { green = +g.g; } catch (e) { green = 0; }
            try { blue = +g.b; } catch (e) { blue = 0; }

            p = red * 255;
            if (p > -2147483648 && p < 2147483648) {
                t = p | 0;
                if (t === p && t !== 0) {
                    e = (red * 256 - t) - red;
                    if (t > 0) {
                        if (e < 0)
                            t -= 1;
                    } else if (e > 0) {
                        t += 1;
                    }
                }
                red = t & 255;
            } else {
                red = edgeByte(red, p);
            }

            p = green * 255;
            if (p > -2147483648 && p < 2147483648) {
                t = p | 0;
                if (t === p && t !== 0) {
                    e = (green * 256 - t) - green;
                    if (t > 0) {
                        if (e < 0)
                            t -= 1;
                    } else if (e > 0) {
                        t += 1;
                    }
                }
                green = t & 255;
            } else {
                green = edgeByte(green, p);
            }

            p = blue * 255;
            if (p > -2147483648 && p < 2147483648) {
                t = p | 0;
                if (t === p && t !== 0) {
                    e = (blue * 256 - t) - blue;
                    if (t > 0) {
                        if (e < 0)
                            t -= 1;
                    } else if (e > 0) {
                        t += 1;
                    }
                }
                blue = t & 255;
            } else {
                blue = edgeByte(blue, p);
            }

            out[at] = (red << 8) | green;
            out[at + 1] = blue;
            at += 2;
            ++j;
        }
    }
    // Renders rows firstRow to lastRow - 1 in runs, handing each run's bytes to the host, and
    // tells the host each row before rendering it.
    function drive(firstRow, lastRow, width, runLength, progress, deliver, isError) {
        var i, first, last, result;
        for (i = firstRow; i < lastRow; ++i) {
            progress(i);
            for (first = 0; first < width; first += runLength) {
                last = first + runLength < width ? first + runLength : width;
                result = run(i, first, last, false);
                while (result !== bytes) {
                    if (isError(result))
                        return result;
                    result = run(i, first, last, true);
                }
                deliver(i, first, last);
            }
        }
        return bytes;
    }
    return { configure: configure, drive: drive, failedPixel: failedPixel, origin: origin,
             settings: settings, text: text, timing: timing,
             pixelLoop: run };
})(this, String)
