// A lit sphere. For each pixel inside its
// outline the painting works out the
// surface's direction there (the normal), and
// lights it as a matte surface with a shiny
// highlight.

var radius = 180;
// Towards the light: up, left, and out of the
// screen.
var light = normalize(-0.5, -0.6, 0.6);

function normalize(vx, vy, vz) {
    var length = Math.sqrt(vx * vx + vy * vy + vz * vz);
    return [vx / length, vy / length, vz / length];
}

function render() {
    var nx = (x - width / 2) / radius;
    var ny = (y - height / 2) / radius;
    var d2 = nx * nx + ny * ny;
    if (d2 > 1) {
        // Outside the sphere: a floor-like
        // gradient with a soft shadow under
        // the ball.
        var sy = ny - 1.1;
        var spread = Math.sqrt(nx * nx * 0.5 + sy * sy * 4);
        var shadow = smoothstep(0.6, 1.6, spread);
        var t = 0.3 + 0.5 * y / height;
        r = t * mix(0.5, 1, shadow); g = r; b = r * 1.05;
        return;
    }
    var nz = Math.sqrt(1 - d2);   // towards us
    // Diffuse light: brightest where the
    // surface faces the light.
    var facing = nx * light[0] + ny * light[1] + nz * light[2];
    var diffuse = Math.max(0, facing);
    // Highlight: the light reflected straight
    // at the viewer, raised to a power to
    // sharpen it.
    var reflected = 2 * diffuse * nz - light[2];
    var highlight = Math.pow(Math.max(0, reflected), 40);
    var ambient = 0.08;
    r = clamp(ambient + 0.85 * diffuse + highlight, 0, 1);
    g = clamp(ambient + 0.25 * diffuse + highlight, 0, 1);
    b = clamp(ambient + 0.2 * diffuse + highlight, 0, 1);
}
