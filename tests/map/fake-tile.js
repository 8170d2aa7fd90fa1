// A 256 x 256 PNG map tile drawn here (light ground, a park, two streets), served in place of the
// OpenStreetMap tiles by the test that checks the tile layer.
'use strict';

const zlib = require('zlib');

const CRC_TABLE = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; n += 1) {
        let c = n;
        for (let k = 0; k < 8; k += 1) {
            c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        }
        table[n] = c >>> 0;
    }
    return table;
})();

function crc32(bytes) {
    let c = 0xffffffff;
    for (const byte of bytes) {
        c = CRC_TABLE[(c ^ byte) & 0xff] ^ (c >>> 8);
    }
    return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(data.length, 0);
    head.write(type, 4, 'latin1');
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
    return Buffer.concat([head, data, crc]);
}

function colourAt(x, y) {
    const street = (y >= 118 && y < 130) || (x >= 58 && x < 68);
    const kerb = (y >= 116 && y < 132) || (x >= 56 && x < 70);
    if (street) {
        return [255, 255, 255];
    }
    if (kerb) {
        return [200, 196, 190];
    }
    if (x > 150 && x < 230 && y > 160 && y < 235) {
        return [200, 230, 190]; // park
    }
    return [242, 239, 233];
}

function fakeTile() {
    const size = 256;
    const raw = Buffer.alloc((size * 3 + 1) * size);
    for (let y = 0; y < size; y += 1) {
        const row = y * (size * 3 + 1);
        raw[row] = 0; // no filter
        for (let x = 0; x < size; x += 1) {
            const [r, g, b] = colourAt(x, y);
            raw[row + 1 + x * 3] = r;
            raw[row + 2 + x * 3] = g;
            raw[row + 3 + x * 3] = b;
        }
    }
    const header = Buffer.alloc(13);
    header.writeUInt32BE(size, 0);
    header.writeUInt32BE(size, 4);
    header[8] = 8; // bit depth
    header[9] = 2; // RGB
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        chunk('IHDR', header),
        chunk('IDAT', zlib.deflateSync(raw)),
        chunk('IEND', Buffer.alloc(0)),
    ]);
}

module.exports = {fakeTile};
