// A sky fading from gold to violet, with a
// sun low on the horizon. mix() and clamp()
// come from stdlib.js.

function render() {
    var t = y / height;    // 0 at the top, 1 at the bottom
    r = clamp(1.0 - t * 0.4, 0, 1);
    g = mix(0.75, 0.15, t);
    b = mix(0.2, 0.55, t);

    // Inside a circle of radius 60 the sun
    // paints over the sky.
    var dx = x - width * 0.5, dy = y - height * 0.72;
    if (dx * dx + dy * dy < 60 * 60) { r = 1; g = 0.9; b = 0.6; }
}
