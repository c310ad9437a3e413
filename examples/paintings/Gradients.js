// Gradients: the simplest paintings. render()
// runs once for every pixel, with x counting
// columns from the left and y rows from the
// top; it sets r, g and b from 0 (none) to 1
// (full).

function render() {
    // Left to right, red rises from 0 to 1;
    // top to bottom, blue does.
    r = x / width;
    b = y / height;
    // Green follows a smoothstep (from
    // stdlib.js): dark on the left, bright on
    // the right, with a soft band in the
    // middle instead of a straight ramp.
    g = 0.6 * smoothstep(0.3, 0.7, x / width);
}
