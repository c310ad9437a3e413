// Plasma: a few sine waves running in
// different directions, added up. Where they
// meet, their sum makes the soft bands; the
// sum becomes a hue for hsv() from stdlib.js.

function render() {
    var v = Math.sin(x / 37)          // waves along x
          + Math.sin(y / 23)          // waves along y
          + Math.sin((x + y) / 51)    // diagonal waves
          + Math.sin(Math.sqrt(x * x + y * y) / 29);  // rings
    // v lies between -4 and 4, so v / 8 turns
    // the hue at most once round the circle.
    hsv(v / 8, 0.7, 0.95);
}
