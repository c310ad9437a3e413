// A Julia set, a cousin of the Mandelbrot
// set: here c is the same for every pixel and
// the pixel's point is where z starts. It
// takes many steps per pixel, so it asks for
// all the processor's cores: with parallel
// set to true its rows are shared out
// among several renderers at once, each
// taking the next few rows when done with
// its last. That works because
// render() only reads x and y and writes r, g
// and b, and keeps nothing from one pixel to
// the next.
parallel = true;

// Try other values of c near the edge of the
// Mandelbrot set.
var cx = -0.8, cy = 0.156;
var maxSteps = 120;
var scale = 3.2 / width;

function render() {
    var zx = (x - width / 2) * scale;
    var zy = (y - height / 2) * scale;
    var steps = 0;
    while (zx * zx + zy * zy < 4 && steps < maxSteps) {
        var t = zx * zx - zy * zy + cx;
        zy = 2 * zx * zy + cy;
        zx = t;
        steps++;
    }
    var shade = steps / maxSteps;
    // Square roots lift the faint outer bands
    // so the whole shape shows.
    r = Math.sqrt(shade);
    g = shade * 0.8;
    b = 0.25 + 0.5 * Math.sqrt(shade);
}
