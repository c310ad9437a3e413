// A sky fading from gold to violet, with a sun low on the horizon.
function render() {
    var t = y / height;
    r = clamp(1.0 - t * 0.4, 0, 1);
    g = mix(0.75, 0.15, t);
    b = mix(0.2, 0.55, t);
    var dx = x - width * 0.5, dy = y - height * 0.72;
    if (dx * dx + dy * dy < 60 * 60) { r = 1; g = 0.9; b = 0.6; }
}
