// The pixel loop of the renderer, made before the painting scripts run.
//
// Calling into the engine once per pixel costs far more than the pixel itself, so the pixels
// are rendered in runs by one call of a function that lives inside the engine: it sets x and y,
// calls render, reads r, g and b and turns each into its channel byte. It uses no built-in that
// a script could redefine, and it is made by a script rather than by a call from the host,
// because functions whose scope a host call created run several times slower in this engine.
// An object that render returns or throws is handed to the host's isError, which alone can tell
// an Error object from any other. The bytes of a run go into an array, two numbers per pixel,
// (R << 8) | G and B, that String.fromCharCode turns into one string for the host: through the
// apply that the host sealed onto it before any script ran, so no script can see the bytes.
//
// A painting reaches run and drive through the callers of render (arguments.callee.caller), and
// could end a run early with them, so that pixels keep an earlier run's colours. Both refuse a
// call while they run, which is the only time a painting can reach them, and such a call fails
// the render. They take nothing from their parameters once painting code has run, nor hand the
// host's functions over as arguments, where a caller's arguments would show them.
//
// A pixel's x and y are its column and row divided by the scale. With samples S above 1, its
// S x S samples are rendered one after another, row by row within the pixel, sample (a, b) at
// ((column + (a + 0.5) / S) - 0.5) / scale and likewise for y; each channel is the mean of its
// samples' bytes, rounded to nearest with halves up.
//
// Each render call and each access to x, y, r, g and b may throw. One try around a whole run
// costs far less than one around each of them: the stage tells which one threw, and the rest of
// that pixel is then rendered step by step, as if each had a try of its own. run and runSampled
// each write that out rather than share a helper: the console finds the pixel of a printed line
// in the locals of the function that called render, which must be one of the two.
//
// The channel rule, for a number v: the low 8 bits of the exact product v * 255 truncated toward
// zero, or 0 when the truncated product leaves 32 bits. It stands written out for each channel,
// because a call costs more than the rule; its common path is a product from 0 to 255, where
// fractions cost this engine more than whole numbers do. Only a rounded product that lands on an
// integer can be one too far from zero; the sign of (v * 256 - t) - v, which is computed exactly,
// tells whether the true product lies below t. Products on or beyond the 32-bit limits take the
// exact but slower edgeByte().
(function (global, toText, codes) {
    var render, renderIsFunction, scale, samples, bytes, width, runLength, progress, deliver,
        isError;
    // A scale of 1 / step for a whole step multiplies instead: the engine's arithmetic on whole
    // numbers, in the painting too, is much faster than on fractions, which a division gives.
    var step = 1, stepIsWhole = true;
    // The run being rendered: pixels first to end - 1 of row.
    var first = 0, end = 0, row = 0;
    // The samples' offsets within a pixel, before the scale: offsets[a] = (a + 0.5) / samples.
    var offsets = [];
    // The x of each sample column of the pixel being rendered, and the y of each sample row.
    var sampleXs = [], sampleYs = [];
    // log2(2 samples^2) when that is a whole number, else 0.
    var meanShift = 0;
    // Where render returned or threw an Error object, and that object.
    var failedX = 0, failedY = 0, failedColumn = 0, failure = null;
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
    // The channel rule as a call, for the paths that are not taken for every pixel.
    function channelByte(v) {
        var p = v * 255, t, e;
        if (!(p > -2147483648 && p < 2147483648))
            return edgeByte(v, p);
        t = p | 0;
        if (t === p && t !== 0) {
            e = (v * 256 - t) - v;
            if (t > 0) {
                if (e < 0)
                    t -= 1;
            } else if (e > 0) {
                t += 1;
            }
        }
        return t & 255;
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
    // Where render returned or threw an Error object: its x and y, and the pixel's column and
    // row.
    function failedPixel() {
        return [failedX, failedY, failedColumn, row];
    }
    // No painting code runs while configure does, so nothing can see its arguments.
    function configure(renderValue, isFunction, scaleValue, samplesValue, bytesValue, widthValue,
                       runLengthValue, progressFunction, deliverFunction, isErrorFunction) {
        render = renderValue;
        renderIsFunction = isFunction;
        scale = scaleValue;
        samples = samplesValue;
        step = 1 / scale;
        stepIsWhole = step === (step | 0);
        if (stepIsWhole)
            step = step | 0;
        bytes = bytesValue;
        width = widthValue;
        runLength = runLengthValue;
        progress = progressFunction;
        deliver = deliverFunction;
        isError = isErrorFunction;
        var divisor = 2 * samples * samples;
        for (meanShift = 0; divisor % 2 === 0; divisor /= 2)
            ++meanShift;
        if (divisor !== 1)
            meanShift = 0;
        offsets = [];
        sampleXs = [];
        sampleYs = [];
        for (var a = 0; a < samples; ++a) {
            offsets[a] = (a + 0.5) / samples;
            sampleXs[a] = 0;
            sampleYs[a] = 0;
        }
    }
    // Ends a run at the x and y of column where render returned or threw the Error error.
    function failAt(errorX, errorY, column, error) {
        failedX = errorX;
        failedY = errorY;
        failedColumn = column;
        failure = error;
        running = false;
        return false;
    }
    // Renders the run into bytes, one sample per pixel; false when render returned or threw an
    // Error object. px and py are the x and y being rendered, which the console reads.
    function run() {
        if (running || !driving) {
            intruded = true;
            return false;
        }
        running = true;
        // Locals, because the engine reaches them faster than the enclosing function's.
        var g = global, f = render, callRender = renderIsFunction, out = bytes, errorTest = isError;
        var j = first, stop = end, k = scale, s = step, whole = stepIsWhole;
        var px = 0, py = whole ? row * s : row / k, at = 0, stage = 0;
        var returned, red = 0, green = 0, blue = 0, p, t;
        for (;;) {
            try {
                for (; j < stop; ++j) {
                    px = whole ? j * s : j / k;
                    stage = 0;
                    g.x = px;
                    stage = 1;
                    g.y = py;
                    stage = 2;
                    if (callRender) {
                        returned = f();
                        if (typeof returned === "object" && returned !== null && errorTest(returned)) {
                            return failAt(px, py, j, returned);
                        }
                    }
                    stage = 3;
                    red = +g.r;
                    stage = 4;
                    green = +g.g;
                    stage = 5;
                    blue = +g.b;

                    // The channel rule, written out; channelByte() holds its commented form.
                    p = red * 255;
                    if (p >= 0 && p < 256) {
                        t = p | 0;
                        if (t === p && t !== 0 && (red * 256 - t) - red < 0)
                            t -= 1;
                        red = t;
                    } else {
                        red = channelByte(red);
                    }
                    p = green * 255;
                    if (p >= 0 && p < 256) {
                        t = p | 0;
                        if (t === p && t !== 0 && (green * 256 - t) - green < 0)
                            t -= 1;
                        green = t;
                    } else {
                        green = channelByte(green);
                    }
                    p = blue * 255;
                    if (p >= 0 && p < 256) {
                        t = p | 0;
                        if (t === p && t !== 0 && (blue * 256 - t) - blue < 0)
                            t -= 1;
                        blue = t;
                    } else {
                        blue = channelByte(blue);
                    }

                    out[at] = (red << 8) | green;
                    out[at + 1] = blue;
                    at += 2;
                }
                break;
            } catch (thrown) {
                // The rest of pixel j, each step on its own.
                returned = thrown;
                if (stage === 0) {
                    try { g.y = py; } catch (e) {}
                }
                if (stage < 2 && callRender) {
                    try { returned = f(); } catch (e) { returned = e; }
                }
                if (stage < 3 && callRender
                    && typeof returned === "object" && returned !== null && errorTest(returned)) {
                    return failAt(px, py, j, returned);
                }
                if (stage < 3) {
                    try { red = +g.r; } catch (e) { red = 0; }
                } else if (stage === 3) {
                    red = 0;
                }
                if (stage < 4) {
                    try { green = +g.g; } catch (e) { green = 0; }
                } else if (stage === 4) {
                    green = 0;
                }
                if (stage < 5) {
                    try { blue = +g.b; } catch (e) { blue = 0; }
                } else {
                    blue = 0;
                }
                out[at] = (channelByte(red) << 8) | channelByte(green);
                out[at + 1] = channelByte(blue);
                at += 2;
                ++j;
            }
        }
        running = false;
        return true;
    }
    // Renders the run into bytes, samples x samples per pixel; false when render returned or
    // threw an Error object. Each sample is as one pixel of run(), with one try around the run
    // in the same way; px and py are its x and y. a and b are the next sample of pixel j.
    function runSampled() {
        if (running || !driving) {
            intruded = true;
            return false;
        }
        running = true;
        var g = global, f = render, callRender = renderIsFunction, out = bytes, errorTest = isError;
        var j = first, stop = end, k = scale, n = samples, count = n * n, xs = sampleXs, ys = sampleYs;
        var at = 0, a = 0, b = 0, c, stage = 0, px = 0, py = 0, returned, red = 0, green = 0,
            blue = 0, p, t, sumRed = 0, sumGreen = 0, sumBlue = 0;
        for (c = 0; c < n; ++c)
            ys[c] = ((row + offsets[c]) - 0.5) / k;
        for (;;) {
            try {
                while (j < stop) {
                    if (a === 0 && b === 0) {
                        for (c = 0; c < n; ++c)
                            xs[c] = ((j + offsets[c]) - 0.5) / k;
                        sumRed = 0;
                        sumGreen = 0;
                        sumBlue = 0;
                    }
                    px = xs[a];
                    py = ys[b];
                    stage = 0;
                    g.x = px;
                    stage = 1;
                    g.y = py;
                    stage = 2;
                    if (callRender) {
                        returned = f();
                        if (typeof returned === "object" && returned !== null && errorTest(returned)) {
                            return failAt(px, py, j, returned);
                        }
                    }
                    stage = 3;
                    red = +g.r;
                    stage = 4;
                    green = +g.g;
                    stage = 5;
                    blue = +g.b;

                    // The channel rule, written out as in run().
                    p = red * 255;
                    if (p >= 0 && p < 256) {
                        t = p | 0;
                        if (t === p && t !== 0 && (red * 256 - t) - red < 0)
                            t -= 1;
                        sumRed += t;
                    } else {
                        sumRed += channelByte(red);
                    }
                    p = green * 255;
                    if (p >= 0 && p < 256) {
                        t = p | 0;
                        if (t === p && t !== 0 && (green * 256 - t) - green < 0)
                            t -= 1;
                        sumGreen += t;
                    } else {
                        sumGreen += channelByte(green);
                    }
                    p = blue * 255;
                    if (p >= 0 && p < 256) {
                        t = p | 0;
                        if (t === p && t !== 0 && (blue * 256 - t) - blue < 0)
                            t -= 1;
                        sumBlue += t;
                    } else {
                        sumBlue += channelByte(blue);
                    }

                    if (++a === n) {
                        a = 0;
                        if (++b === n) {
                            b = 0;
                            if (meanShift > 0) {
                                // As mean(), in whole numbers: 2 count is a power of two.
                                out[at] = (((2 * sumRed + count) >> meanShift) << 8)
                                    | ((2 * sumGreen + count) >> meanShift);
                                out[at + 1] = (2 * sumBlue + count) >> meanShift;
                                at += 2;
                            } else {
                                at = mean(out, at, count, sumRed, sumGreen, sumBlue);
                            }
                            ++j;
                        }
                    }
                }
                break;
            } catch (thrown) {
                // The rest of this sample, each step on its own.
                returned = thrown;
                if (stage === 0) {
                    try { g.y = py; } catch (e) {}
                }
                if (stage < 2 && callRender) {
                    try { returned = f(); } catch (e) { returned = e; }
                }
                if (stage < 3 && callRender
                    && typeof returned === "object" && returned !== null && errorTest(returned)) {
                    return failAt(px, py, j, returned);
                }
                if (stage < 3) {
                    try { red = +g.r; } catch (e) { red = 0; }
                } else if (stage === 3) {
                    red = 0;
                }
                if (stage < 4) {
                    try { green = +g.g; } catch (e) { green = 0; }
                } else if (stage === 4) {
                    green = 0;
                }
                if (stage < 5) {
                    try { blue = +g.b; } catch (e) { blue = 0; }
                } else {
                    blue = 0;
                }
                sumRed += channelByte(red);
                sumGreen += channelByte(green);
                sumBlue += channelByte(blue);
                if (++a === n) {
                    a = 0;
                    if (++b === n) {
                        b = 0;
                        at = mean(out, at, count, sumRed, sumGreen, sumBlue);
                        ++j;
                    }
                }
            }
        }
        running = false;
        return true;
    }
    // Puts a pixel of count samples into out at at, each channel the mean of the samples' bytes
    // rounded to nearest with halves up: floor((2 sum + count) / (2 count)). Returns the next at.
    function mean(out, at, count, sumRed, sumGreen, sumBlue) {
        var red = ((2 * sumRed + count) / (2 * count)) | 0,
            green = ((2 * sumGreen + count) / (2 * count)) | 0,
            blue = ((2 * sumBlue + count) / (2 * count)) | 0;
        out[at] = (red << 8) | green;
        out[at + 1] = blue;
        return at + 2;
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
        var i = firstRow, last = lastRow, whole = true, sampled = samples > 1;
        for (; whole && !intruded && i < last; ++i) {
            progress(i);
            row = i;
            for (first = 0; first < width; first = end) {
                end = first + runLength < width ? first + runLength : width;
                whole = sampled ? runSampled() : run();
                if (!whole || intruded)
                    break;
                deliver(i, first, end, codes.apply(null, bytes));
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
    function inspect(pixelColumn, pixelRow) {
        if (driving) {
            intruded = true;
            return null;
        }
        driving = true;
        row = pixelRow;
        first = pixelColumn;
        end = pixelColumn + 1;
        var whole = samples > 1 ? runSampled() : run(), g = global, red, green, blue;
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
             pixelLoop: run, sampledPixelLoop: runSampled };
})(this, String, String.fromCharCode)
