// The standard library: this file runs before every painting, so the
// functions defined here serve them all. Change them, or add your own,
// on the page that Ctrl+L opens.

// v held between lo and hi.
function clamp(v, lo, hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// The value a fraction t of the way from a to b: mix(a, b, 0) is a,
// mix(a, b, 1) is b.
function mix(a, b, t) {
    return a + (b - a) * t;
}

// 0 below edge0, 1 above edge1, and an S-shaped ramp between: softer
// than a straight mix.
function smoothstep(edge0, edge1, v) {
    var t = clamp((v - edge0) / (edge1 - edge0), 0, 1);
    return t * t * (3 - 2 * t);
}

// Sets r, g and b from a hue (0 red, 1/3 green, 2/3 blue, 1 red again),
// a saturation and a value (brightness), each from 0 to 1. Hues beyond
// 0..1 go round the circle again.
function hsv(h, s, v) {
    var i = Math.floor(h * 6), f = h * 6 - i;
    var p = v * (1 - s), q = v * (1 - f * s), t = v * (1 - (1 - f) * s);
    switch (((i % 6) + 6) % 6) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    default: r = v; g = p; b = q; break;
    }
}

// A number from 0 to 1 that looks random but is always the same for the
// same whole numbers i and j.
function hash(i, j) {
    var s = Math.sin(i * 127.1 + j * 311.7) * 43758.5453;
    return s - Math.floor(s);
}

// Value noise: random values on a grid of whole numbers, blended
// smoothly in between, so that nearby points get nearby values. Scale
// the coordinates to choose the size of the blobs: noise(x / 50, y /
// 50) changes over about 50 pixels.
function noise(u, v) {
    var i = Math.floor(u), j = Math.floor(v);
    var fu = u - i, fv = v - j;
    var su = fu * fu * (3 - 2 * fu), sv = fv * fv * (3 - 2 * fv);
    var top = mix(hash(i, j), hash(i + 1, j), su);
    var bottom = mix(hash(i, j + 1), hash(i + 1, j + 1), su);
    return mix(top, bottom, sv);
}
