// Clouds from value noise: noise() from
// stdlib.js gives smooth random blobs. Adding
// layers of ever smaller and fainter blobs
// ("octaves") gives the fluffy look.

function clouds(u, v) {
    var sum = 0, amplitude = 0.5, frequency = 1;
    for (var octave = 0; octave < 5; octave++) {
        sum += amplitude * noise(u * frequency, v * frequency);
        amplitude *= 0.5;    // each layer half as strong...
        frequency *= 2;      // ...with blobs half as big
    }
    return sum;               // about 0 to 1
}

function render() {
    var density = smoothstep(0.45, 0.8, clouds(x / 120, y / 80));
    // Blue sky behind, white cloud in front,
    // mixed by the density.
    r = mix(0.25, 1, density);
    g = mix(0.5, 1, density);
    b = mix(0.9, 1, density);
}
