// Shared helpers: this file runs before every painting.

function clamp(v, lo, hi) { return v < lo ? lo : (v > hi ? hi : v); }

function mix(a, b, t) { return a + (b - a) * t; }

// Sets r, g, b from hue, saturation and value, each from 0 to 1.
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
