#!/usr/bin/env node
// Assembles the viewer's map pages into a program folder:
//   map.htm, mapNotConect.htm, mapNoGPSData.htm
//   map/leaflet.js, map/leaflet.css, map/images/*   (Leaflet, from the npm package)
//   map/world.js                                    (the offline base layer, see below)
//   map/tessaro-map.js, map/tessaro.css             (the pages' own script and look)
// usage: node build.js NODE_MODULES_DIR OUT_DIR
//
// The base layer is Natural Earth's 1:110m land and country borders (npm world-atlas, TopoJSON),
// turned into GeoJSON here and written as a script that assigns the global tessaroWorld, so that the
// page loads it with <script src> from a local folder in every engine (no requests from file://).
'use strict';

const fs = require('fs');
const path = require('path');

const WORLD_RESOLUTION = '110m';
// Coordinates are rounded to 0.01 degree (about 1 km), finer than the 1:110m data itself.
const WORLD_DECIMALS = 2;

function usage() {
    process.stderr.write('usage: node build.js NODE_MODULES_DIR OUT_DIR\n');
    process.exit(2);
}

function copy(from, to) {
    fs.writeFileSync(to, fs.readFileSync(from));
}

// The pages keep CRLF line ends: the web browser control honours the "saved from url" mark only when
// a CRLF follows it.
function toCrlf(text) {
    return text.replace(/\r?\n/g, '\r\n');
}

function roundCoordinates(value, factor) {
    if (typeof value === 'number') {
        return Math.round(value * factor) / factor;
    }
    return value.map((item) => roundCoordinates(item, factor));
}

// Drops points that rounding made equal to the one before.
function dropRepeats(line) {
    return line.filter((point, i) => i === 0 || point[0] !== line[i - 1][0] || point[1] !== line[i - 1][1]);
}

// The world atlas is made for drawing on the sphere: a few rings (the tip of Siberia, Wrangel Island,
// a Fijian island) run over the 180th meridian and back, which drawn flat is a band across the whole
// world. Such a ring is made continuous (longitudes past 180) and its polygon also drawn a world to
// the west. A ring that crosses once (Antarctica, closed along the bottom of the map) stays as it is.
function unwrapRing(ring) {
    const out = [ring[0]];
    for (let i = 1; i < ring.length; i += 1) {
        const previous = out[i - 1][0];
        let lng = ring[i][0];
        while (lng - previous > 180) {
            lng -= 360;
        }
        while (lng - previous < -180) {
            lng += 360;
        }
        out.push([lng, ring[i][1]]);
    }
    return out;
}

function jumps(ring) {
    let count = 0;
    for (let i = 1; i < ring.length; i += 1) {
        if (Math.abs(ring[i][0] - ring[i - 1][0]) > 180) {
            count += 1;
        }
    }
    return count;
}

function unwrapPolygons(polygons) {
    const result = [];
    for (const polygon of polygons) {
        const crossing = polygon.some((ring) => jumps(ring) > 0 && jumps(ring) % 2 === 0);
        if (!crossing) {
            result.push(polygon);
            continue;
        }
        const unwrapped = polygon.map((ring) => (jumps(ring) % 2 === 0 ? unwrapRing(ring) : ring));
        result.push(unwrapped);
        const lngs = unwrapped.flat().map((point) => point[0]);
        const shift = Math.max(...lngs) > 180 ? -360 : Math.min(...lngs) < -180 ? 360 : 0;
        if (shift !== 0) {
            result.push(unwrapped.map((ring) => ring.map((point) => [point[0] + shift, point[1]])));
        }
    }
    return result;
}

function simplifyGeometry(geometry, factor) {
    const rounded = roundCoordinates(geometry.coordinates, factor);
    if (geometry.type === 'MultiPolygon') {
        const polygons = rounded
            .map((polygon) => polygon.map(dropRepeats).filter((ring) => ring.length >= 4))
            .filter((polygon) => polygon.length > 0);
        return {type: 'MultiPolygon', coordinates: unwrapPolygons(polygons)};
    }
    if (geometry.type === 'Polygon') {
        return {type: 'Polygon', coordinates: rounded.map(dropRepeats).filter((ring) => ring.length >= 4)};
    }
    if (geometry.type === 'MultiLineString') {
        return {type: 'MultiLineString', coordinates: rounded.map(dropRepeats).filter((line) => line.length >= 2)};
    }
    throw new Error('unexpected geometry ' + geometry.type);
}

function worldScript(modules) {
    const topojson = require(path.join(modules, 'topojson-client'));
    const file = path.join(modules, 'world-atlas', 'countries-' + WORLD_RESOLUTION + '.json');
    const topology = JSON.parse(fs.readFileSync(file, 'utf8'));
    const factor = Math.pow(10, WORLD_DECIMALS);
    const land = topojson.feature(topology, topology.objects.land);
    const landGeometry = land.type === 'FeatureCollection' ? land.features[0].geometry : land.geometry;
    // Borders between two countries only: the coast is the outline of the land.
    const borders = topojson.mesh(topology, topology.objects.countries, (a, b) => a !== b);
    const world = {
        land: simplifyGeometry(landGeometry, factor),
        borders: simplifyGeometry(borders, factor),
    };
    return (
        '/* Natural Earth 1:' + WORLD_RESOLUTION + ' land and country borders (public domain), ' +
        'from the npm package world-atlas. Generated by the build. */\n' +
        'var tessaroWorld = ' + JSON.stringify(world) + ';\n'
    );
}

function main() {
    if (process.argv.length !== 4) {
        usage();
    }
    const modules = path.resolve(process.argv[2]);
    const out = path.resolve(process.argv[3]);
    const src = path.join(__dirname, 'src');
    const leaflet = path.join(modules, 'leaflet', 'dist');
    const folder = path.join(out, 'map');

    fs.mkdirSync(path.join(folder, 'images'), {recursive: true});
    for (const page of ['map.htm', 'mapNotConect.htm', 'mapNoGPSData.htm']) {
        fs.writeFileSync(path.join(out, page), toCrlf(fs.readFileSync(path.join(src, page), 'utf8')));
    }
    copy(path.join(src, 'tessaro-map.js'), path.join(folder, 'tessaro-map.js'));
    copy(path.join(src, 'tessaro.css'), path.join(folder, 'tessaro.css'));
    copy(path.join(leaflet, 'leaflet.js'), path.join(folder, 'leaflet.js'));
    copy(path.join(leaflet, 'leaflet.css'), path.join(folder, 'leaflet.css'));
    for (const image of fs.readdirSync(path.join(leaflet, 'images'))) {
        copy(path.join(leaflet, 'images', image), path.join(folder, 'images', image));
    }
    fs.writeFileSync(path.join(folder, 'world.js'), worldScript(modules));
}

main();
