// Rings that move: a painting animates when it
// sets frames. Each frame runs the painting
// afresh with frame (0, 1, 2, ...) and time
// (frame / fps, in seconds) already set. Press
// Ctrl+P to play it, Ctrl+Shift+S to export it.

frames = 60;   // two seconds at 30 frames a second
fps = 30;
parallel = true;

function render() {
    var dx = x - width / 2;
    var dy = y - height / 2;
    var d = Math.sqrt(dx * dx + dy * dy);
    // The rings travel outwards by one ring a
    // second: 2 * pi * 8 pixels, the phase
    // going once round the circle.
    var wave = 0.5 + 0.5 * Math.sin(d / 8 - time * 2 * Math.PI);
    r = wave * 0.3;
    g = wave * 0.6;
    b = 0.5 + wave / 2;
}
