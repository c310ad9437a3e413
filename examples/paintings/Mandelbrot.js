// The Mandelbrot set. Each pixel is a point c
// of the complex plane; the painting repeats
// z = z * z + c from z = 0 and counts the
// steps until z leaves the circle of radius
// 2. Points that never leave belong to the
// set and stay black; the others are coloured
// by how soon they left.

var maxSteps = 64;
// The middle of the picture in the complex
// plane, and the size of a pixel there: the
// picture is 3 units across.
var centreX = -0.6, centreY = 0;
var scale = 3 / width;

function render() {
    var cx = centreX + (x - width / 2) * scale;
    var cy = centreY + (y - height / 2) * scale;
    var zx = 0, zy = 0, steps = 0;
    // zx * zx + zy * zy is the squared
    // distance from 0: compare with 2 * 2.
    while (zx * zx + zy * zy < 4 && steps < maxSteps) {
        var t = zx * zx - zy * zy + cx;
        zy = 2 * zx * zy + cy;
        zx = t;
        steps++;
    }
    if (steps === maxSteps) {
        r = 0; g = 0; b = 0;
    } else {
        // hsv() from stdlib.js: the hue runs
        // round the colour circle with the
        // step count.
        hsv(0.6 + steps / 40, 0.8, 1);
    }
}
