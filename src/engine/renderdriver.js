// The pixel loop of the renderer, made before the painting scripts run.
//
// Calling into the engine once per pixel costs far more than the pixel itself, so the pixels
// are rendered in runs by one call of a function that lives inside the engine: it sets x and y,
// calls render, reads r, g and b and turns each into its channel byte. It uses no built-in that
// a script could redefine, and it is made by a script rather than by a call from the host,
// because functions whose scope a host call created run several times slower in this engine.
// An object that render returns or throws is handed to the host's isError, which alone can tell
// an Error object from any other. The bytes of a run go into an array, two numbers per pixel,
// (R << 8) | G and B, which the host turns into one string.
//
// A painting reaches run and drive through the callers of render (arguments.callee.caller), and
// could end a run early with them, so that pixels keep an earlier run's colours. Both refuse a
// call while they run, which is the only time a painting can reach them, and such a call fails
// the render. They take nothing from their parameters once painting code has run, nor hand the
// host's functions over as arguments, where a caller's arguments would show them.
//
// The channel rule, for a number v: the low 8 bits of the exact product v * 255 truncated toward
// zero, or 0 when the truncated product leaves 32 bits. It stands written out for each channel,
// because a call costs more than the rule. Only a rounded product that lands on an integer can
// be one too far from zero; the sign of (v * 256 - t) - v, which is computed exactly, tells
// whether the true product lies below t. Products on or beyond the 32-bit limits take the exact
// but slower edgeByte().
(function (global, toText) {
    var render, renderIsFunction, step, bytes, width, interval, runLength, progress, deliver, isError;
    // The run being rendered: pixels first to end - 1 of the row at y, in script units.
    var first = 0, end = 0, y = 0;
    // Where render returned or threw an Error object, and that object.
    var column = 0, failure = null;
    var driving = false, running = false, intruded = false;
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
    // No painting code runs while configure does, so nothing can see its arguments.
    function configure(renderValue, isFunction, stepValue, bytesValue, widthValue, intervalValue,
                       runLengthValue, progressFunction, deliverFunction, isErrorFunction) {
        render = renderValue;
        renderIsFunction = isFunction;
        step = stepValue;
        bytes = bytesValue;
        width = widthValue;
        interval = intervalValue;
        runLength = runLengthValue;
        progress = progressFunction;
        deliver = deliverFunction;
        isError = isErrorFunction;
    }
    // Renders the run into bytes; false when render returned or threw an Error object.
    function run() {
        if (running || !driving) {
            intruded = true;
            return false;
        }
        running = true;
        // Locals, because the engine reaches them faster than the enclosing function's.
        var g = global, f = render, callRender = renderIsFunction, out = bytes, errorTest = isError;
        var j = first, stop = end, sy = y, s = step, at = 0;
        var returned, red, green, blue, p, t, e;
        for (; j < stop; ++j) {
            try { g.x = j * s; } catch (e) {}
            try { g.y = sy; } catch (e) {}
            if (callRender) {
                try { returned = f(); } catch (e) { returned = e; }
                if (typeof returned === "object" && returned !== null && errorTest(returned)) {
                    column = j;
                    failure = returned;
                    running = false;
                    return false;
                }
            }
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
        }
        running = false;
        return true;
    }
    // Renders rows firstRow to lastRow - 1 in runs, handing each run's bytes to the host. The
    // progress interval counts from the top of the whole picture, so a process that renders some
    // of the rows reports the rows that a render of the whole picture would. Returns the bytes,
    // the Error object from render, or null when the painting called run or drive itself.
    function drive(firstRow, lastRow) {
        if (driving) {
            intruded = true;
            return null;
        }
        driving = true;
        var i = firstRow, last = lastRow, whole = true;
        for (; whole && !intruded && i < last; ++i) {
            progress(i);
            y = i * step;
            for (first = 0; first < width; first = end) {
                end = first + runLength < width ? first + runLength : width;
                whole = run();
                if (!whole || intruded)
                    break;
                deliver(i, first, end);
            }
        }
        driving = false;
        if (intruded)
            return null;
        return whole ? bytes : failure;
    }
    // Renders the pixel in column and row alone, as a run renders it. Returns the Error that
    // render returned or threw, or the numbers it left in r, g and b as text, then the bytes
    // they became, as the host shows them for an inspected pixel.
    function inspect(pixelColumn, row) {
        if (driving) {
            intruded = true;
            return null;
        }
        driving = true;
        y = row * step;
        first = pixelColumn;
        end = pixelColumn + 1;
        var whole = run(), g = global, red, green, blue;
        driving = false;
        if (intruded)
            return null;
        if (!whole)
            return failure;
        try { red = +g.r; } catch (e) { red = 0; }
        try { green = +g.g; } catch (e) { green = 0; }
        try { blue = +g.b; } catch (e) { blue = 0; }
        return [text(red), text(green), text(blue), bytes[0] >> 8, bytes[0] & 255, bytes[1]];
    }
    return { configure: configure, drive: drive, failedPixel: failedPixel, origin: origin,
             settings: settings, text: text, timing: timing, inspect: inspect,
             pixelLoop: run };
})(this, String)
