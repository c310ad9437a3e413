// Concentric rings around the middle.
function render() {
    var dx = x - width / 2, dy = y - height / 2;
    var d = Math.sqrt(dx * dx + dy * dy);
    var wave = 0.5 + 0.5 * Math.sin(d / 8);
    r = wave;
    g = wave * (1 - y / height);
    b = 1 - wave / 2;
}
