// A checkerboard seen in perspective, under a
// plain sky. Math.floor() turns a position
// into the number of the square it lies in;
// squares whose numbers add up to an even
// number are light, the others dark.

var horizon = 160;    // where the floor meets the sky
var squareSize = 1;    // in floor units

function render() {
    if (y <= horizon) {
        // The sky, lighter towards the
        // horizon.
        var t = y / horizon;
        r = mix(0.35, 0.8, t); g = mix(0.55, 0.9, t); b = 1;
        return;
    }
    // Rows further below the horizon are
    // nearer: depth falls as y grows.
    var depth = 200 / (y - horizon);
    var u = (x - width / 2) * depth / 100;
    var column = Math.floor(u / squareSize);
    var row = Math.floor(depth / squareSize);
    var light = (column + row) % 2 === 0;
    // Far away the squares blur into grey:
    // fade them towards it with the depth.
    var fade = clamp(depth / 30, 0, 1);
    var shade = mix(light ? 0.95 : 0.1, 0.55, fade);
    r = shade; g = shade; b = shade * 0.9;
}
