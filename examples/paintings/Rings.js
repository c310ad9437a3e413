// Concentric rings around the middle: the
// colour depends on the distance from the
// centre.

function render() {
    var dx = x - width / 2;
    var dy = y - height / 2;
    var d = Math.sqrt(dx * dx + dy * dy);
    // sin() swings between -1 and 1; halved
    // and lifted it swings between 0 and 1,
    // one ring every 2 * pi * 8, about 50
    // pixels.
    var wave = 0.5 + 0.5 * Math.sin(d / 8);
    r = wave;
    g = wave * (1 - y / height);  // fading
    b = 1 - wave / 2;
}
