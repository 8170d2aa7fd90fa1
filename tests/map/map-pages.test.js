// The viewer's map pages, as built, in headless Chromium with no network.
// usage: node map-pages.test.js PAGES_DIR NODE_MODULES_DIR [SCREENSHOT_DIR]
'use strict';

const {describe, it, before, after} = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {SHOWN, EXPANDED, launch, offlineContext, pageUrl} = require('./browser');
const {fakeTile} = require('./fake-tile');

const [pagesDir, modules, shotsDir] = process.argv.slice(2);
if (!pagesDir || !modules) {
    process.stderr.write('usage: node map-pages.test.js PAGES_DIR NODE_MODULES_DIR [SCREENSHOT_DIR]\n');
    process.exit(2);
}
const acorn = require(path.join(modules, 'acorn'));

const PAGES = ['map.htm', 'mapNotConect.htm', 'mapNoGPSData.htm'];
const SKIN_BACKGROUND = 'rgb(22, 24, 25)';
const SKIN_TEXT = 'rgb(200, 200, 200)';

let browser;

before(async () => {
    browser = await launch(modules);
});

after(async () => {
    if (browser) {
        await browser.close();
    }
});

// Opens a page offline and records its script errors. Failed requests (the refused tiles) are the
// network's, not the page's, and are left out.
async function open(name, options = {}) {
    const context = await offlineContext(browser, options.size);
    if (options.tiles) {
        const tile = fakeTile();
        // 'some': only the tiles of even columns come.
        await context.route(/^https:\/\/tile\.openstreetmap\.org\/\d+\/(\d+)\/\d+\.png$/, (route) => {
            const x = Number(/\/(\d+)\/\d+\.png$/.exec(route.request().url())[1]);
            if (options.tiles === 'some' && x % 2 === 1) {
                return route.abort('connectionfailed');
            }
            return route.fulfill({status: 200, contentType: 'image/png', body: tile});
        });
    }
    if (options.init) {
        await context.addInitScript(options.init);
    }
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push('page error: ' + error.message));
    page.on('console', (message) => {
        if (message.type() === 'error' && !/^Failed to load resource/.test(message.text())) {
            errors.push('console: ' + message.text());
        }
    });
    await page.goto(pageUrl(options.dir || pagesDir, name), {waitUntil: 'load'});
    return {context, page, errors};
}

async function openMap(options) {
    const opened = await open('map.htm', options);
    await opened.page.waitForFunction(() => window.tessaroMap && window.tessaroMap.drawnAt !== null);
    return opened;
}

async function screenshot(page, name) {
    if (shotsDir) {
        fs.mkdirSync(shotsDir, {recursive: true});
        await page.screenshot({path: path.join(shotsDir, name)});
    }
}

// Everything a test reads back, through Leaflet's own API.
function mapState(page) {
    return page.evaluate(() => {
        const m = window.tessaroMap;
        const marker = m.marker;
        const lines = m.track.getLayers().map((line) => ({
            track: line.options.trackIndex,
            points: line.getLatLngs().map((p) => [p.lat, p.lng]),
        }));
        const centre = m.map.getCenter();
        return {
            marker: m.map.hasLayer(marker) ? [marker.getLatLng().lat, marker.getLatLng().lng] : null,
            centre: [centre.lat, centre.lng],
            zoom: m.map.getZoom(),
            lines,
            trackCount: m.trackCount,
            heading: m.heading,
            ignored: m.ignored,
            lastError: m.lastError,
        };
    });
}

// The tracks as lists of points, joining the polylines a long track is drawn with.
function tracks(state) {
    const byTrack = new Map();
    for (const line of state.lines) {
        const points = byTrack.get(line.track) || [];
        byTrack.set(line.track, points.concat(points.length ? line.points.slice(1) : line.points));
    }
    return [...byTrack.values()];
}

function call(page, lat, lng) {
    return page.evaluate(([a, b]) => window.DrawCurrent(a, b), [lat, lng]);
}

// Position text as the viewer writes it (printf "%f").
function fix(value) {
    return value.toFixed(6);
}

// A position at a container point of the current view, as viewer text.
function atPoint(page, x, y) {
    return page.evaluate(([px, py]) => {
        const p = window.tessaroMap.map.containerPointToLatLng([px, py]);
        return [p.lat.toFixed(6), p.lng.toFixed(6)];
    }, [x, y]);
}

function markerPoint(page) {
    return page.evaluate(() => {
        const m = window.tessaroMap;
        const p = m.map.latLngToContainerPoint(m.marker.getLatLng());
        return [p.x, p.y];
    });
}

// Calls DrawCurrent and waits for the view's move to end, if the call moved it.
function callAndSettle(page, lat, lng) {
    return page.evaluate(([a, b]) => new Promise((resolve) => {
        const map = window.tessaroMap.map;
        let moved = false;
        let ended = false;
        const start = () => { moved = true; };
        const end = () => { ended = true; resolve(true); };
        map.on('movestart', start);
        map.on('moveend', end);
        window.DrawCurrent(a, b);
        map.off('movestart', start);
        if (!moved) {
            map.off('moveend', end);
            resolve(false);
        } else if (ended) {
            map.off('moveend', end);
        } else {
            map.once('moveend', () => map.off('moveend', end));
        }
    }), [lat, lng]);
}

function assertNear(actual, expected, tolerance, what) {
    assert.ok(Math.abs(actual - expected) <= tolerance, `${what}: ${actual} is not within ${tolerance} of ${expected}`);
}

describe('page files', () => {
    function scriptsOf(html) {
        const inline = [];
        const external = [];
        const tag = /<script\b([^>]*)>([\s\S]*?)<\/script>/gi;
        let match;
        while ((match = tag.exec(html))) {
            const src = /\bsrc="([^"]+)"/.exec(match[1]);
            if (src) {
                external.push(src[1]);
            } else {
                inline.push(match[2]);
            }
        }
        return {inline, external};
    }

    it('every script the pages load, and every inline script, is ECMAScript 5', () => {
        let parsed = 0;
        for (const name of PAGES) {
            const html = fs.readFileSync(path.join(pagesDir, name), 'utf8');
            const {inline, external} = scriptsOf(html);
            inline.forEach((code, i) => {
                assert.doesNotThrow(() => acorn.parse(code, {ecmaVersion: 5}), `${name}, inline script ${i + 1}`);
                parsed += 1;
            });
            for (const src of external) {
                const code = fs.readFileSync(path.join(pagesDir, src), 'utf8');
                assert.doesNotThrow(() => acorn.parse(code, {ecmaVersion: 5}), `${name}: ${src}`);
                parsed += 1;
            }
        }
        // And any other script in the pages' folder.
        for (const file of fs.readdirSync(path.join(pagesDir, 'map')).filter((f) => f.endsWith('.js'))) {
            const code = fs.readFileSync(path.join(pagesDir, 'map', file), 'utf8');
            assert.doesNotThrow(() => acorn.parse(code, {ecmaVersion: 5}), `map/${file}`);
        }
        assert.ok(parsed >= 4, 'the pages load their scripts');
        // The check itself rejects later syntax.
        assert.throws(() => acorn.parse('const a = () => 1;', {ecmaVersion: 5}));
    });

    it('each page runs its script in the Windows browser control without a warning, in its newest mode', () => {
        for (const name of PAGES) {
            const bytes = fs.readFileSync(path.join(pagesDir, name));
            const head = bytes.subarray(0, 2048).toString('latin1');
            // The mark only counts with a CRLF right after it.
            assert.ok(head.includes('<!-- saved from url=(0014)about:internet -->\r\n'), `${name}: mark of the web`);
            const headStart = head.indexOf('<head>');
            const firstElement = head.slice(headStart + 6).trimStart();
            assert.ok(
                firstElement.startsWith('<meta http-equiv="X-UA-Compatible" content="IE=edge">'),
                `${name}: X-UA-Compatible first in <head>`);
        }
    });

    it('every file a page refers to is beside it, by a relative path', () => {
        for (const name of PAGES) {
            const html = fs.readFileSync(path.join(pagesDir, name), 'utf8');
            const refs = [...html.matchAll(/<(?:script|link)\b[^>]*\b(?:src|href)="([^"]+)"/gi)].map((m) => m[1]);
            assert.ok(refs.length > 0, name);
            for (const ref of refs) {
                assert.ok(!/^[a-z]+:|^\/|\\/i.test(ref), `${name}: ${ref} is relative`);
                assert.ok(fs.existsSync(path.join(pagesDir, ref)), `${name}: ${ref} exists`);
            }
        }
        const css = fs.readFileSync(path.join(pagesDir, 'map', 'leaflet.css'), 'utf8');
        for (const [, image] of css.matchAll(/url\(([^)]+)\)/g)) {
            if (!/^(data:|#)/.test(image)) {
                assert.ok(fs.existsSync(path.join(pagesDir, 'map', image)), `leaflet.css: ${image}`);
            }
        }
    });

    it('the style sheets use nothing that IE11 lacks', () => {
        const css = fs.readFileSync(path.join(pagesDir, 'map', 'tessaro.css'), 'utf8');
        assert.doesNotMatch(css, /var\(--|--[a-z-]+\s*:/, 'custom properties');
        assert.doesNotMatch(css, /display:\s*(grid|inline-grid)/, 'grid');
    });
});

describe('map.htm', () => {
    it('draws the offline base layer when the tiles cannot be had', async () => {
        const {context, page, errors} = await openMap();
        try {
            await page.waitForFunction(() => window.tessaroMap.tileErrors > 0);
            const seen = await page.evaluate(() => {
                const m = window.tessaroMap;
                const paths = document.querySelectorAll('.leaflet-tessaroBase-pane path');
                // Is a point of the page inside the drawn land?
                function onLand(lat, lng) {
                    const p = m.map.latLngToContainerPoint([lat, lng]);
                    const box = m.map.getContainer().getBoundingClientRect();
                    for (const shape of paths) {
                        const svg = shape.ownerSVGElement.createSVGPoint();
                        svg.x = box.left + p.x;
                        svg.y = box.top + p.y;
                        const local = svg.matrixTransform(shape.getScreenCTM().inverse());
                        if (shape.getAttribute('fill') !== 'none' && shape.isPointInFill(local)) {
                            return true;
                        }
                    }
                    return false;
                }
                const tiles = [...document.querySelectorAll('.leaflet-tile-pane img')];
                return {
                    paths: paths.length,
                    drawn: [...paths].every((p) => (p.getAttribute('d') || '').length > 10),
                    germany: onLand(51, 10),
                    brazil: onLand(-10, -55),
                    atlantic: onLand(30, -40),
                    pacific: onLand(-20, -130),
                    tiles: tiles.length,
                    tilesShown: tiles.filter((t) => getComputedStyle(t).visibility !== 'hidden').length,
                    background: getComputedStyle(m.map.getContainer()).backgroundColor,
                    baseShown: getComputedStyle(m.map.getPane('tessaroBase')).visibility === 'visible',
                };
            });
            assert.equal(seen.paths, 2, 'land and borders');
            assert.ok(seen.drawn, 'paths have outlines');
            assert.ok(seen.germany && seen.brazil, 'land is filled');
            assert.ok(!seen.atlantic && !seen.pacific, 'the sea is not');
            assert.ok(seen.tiles > 0 && seen.tilesShown === 0, 'failed tiles are hidden');
            assert.ok(seen.baseShown);
            assert.notEqual(seen.background, 'rgba(0, 0, 0, 0)');
            await screenshot(page, 'map-offline-world.png');
            await call(page, '37.387458', '127.123456');
            for (let i = 1; i <= 40; i += 1) {
                await call(page, fix(37.387458 + i * 0.00009), fix(127.123456 + i * 0.00006 + (i > 20 ? (i - 20) * 0.0001 : 0)));
            }
            await page.waitForTimeout(400);
            await screenshot(page, 'map-offline-street.png');
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('shows OpenStreetMap tiles with their attribution when they load', async () => {
        const {context, page, errors} = await openMap({tiles: true});
        try {
            await call(page, '48.858370', '2.294481');
            // The street-level tiles have replaced the world's.
            await page.waitForFunction(() => {
                const tiles = [...document.querySelectorAll('.leaflet-tile-pane img')];
                return tiles.length >= 4 && tiles.every((t) => /\/16\/\d+\/\d+\.png$/.test(t.src) &&
                    t.classList.contains('leaflet-tile-loaded'));
            });
            const seen = await page.evaluate(() => {
                const m = window.tessaroMap;
                const tiles = [...document.querySelectorAll('.leaflet-tile-pane img.leaflet-tile-loaded')];
                const attribution = document.querySelector('.leaflet-control-attribution');
                const link = attribution.querySelector('a[href="https://www.openstreetmap.org/copyright"]');
                const box = attribution.getBoundingClientRect();
                return {
                    baseShown: getComputedStyle(m.map.getPane('tessaroBase')).visibility === 'visible',
                    opacity: Number(getComputedStyle(m.tiles.getContainer()).opacity),
                    errors: m.tileErrors,
                    urls: tiles.map((t) => t.src),
                    text: attribution.textContent,
                    link: link ? link.textContent : null,
                    fontSize: parseFloat(getComputedStyle(attribution).fontSize),
                    inside: box.left >= 0 && box.right <= innerWidth && box.bottom <= innerHeight,
                };
            });
            assert.equal(seen.errors, 0);
            assert.equal(seen.baseShown, false, 'the base layer does not show through the tiles');
            assert.ok(seen.opacity > 0.5 && seen.opacity < 1, 'tiles dimmed');
            assert.ok(seen.urls.length >= 4);
            for (const url of seen.urls) {
                assert.match(url, /^https:\/\/tile\.openstreetmap\.org\/16\/\d+\/\d+\.png$/);
            }
            assert.match(seen.text, /© OpenStreetMap contributors/);
            assert.equal(seen.link, 'OpenStreetMap');
            assert.ok(seen.fontSize >= 10, 'attribution readable');
            assert.ok(seen.inside, 'attribution fits the window');
            for (let i = 1; i <= 30; i += 1) {
                await call(page, fix(48.85837 - i * 0.00008), fix(2.294481 + i * 0.00012));
            }
            await page.waitForTimeout(400);
            await screenshot(page, 'map-tiles.png');
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('shows the base layer where some tiles are missing', async () => {
        const {context, page, errors} = await openMap({tiles: 'some'});
        try {
            await call(page, '48.858370', '2.294481');
            await page.waitForFunction(() => {
                const tiles = [...document.querySelectorAll('.leaflet-tile-pane img')];
                return tiles.length >= 4 && tiles.every((t) => /\/16\//.test(t.src) &&
                    (t.classList.contains('leaflet-tile-loaded') || t.style.visibility === 'hidden'));
            });
            const seen = await page.evaluate(() => {
                const m = window.tessaroMap;
                return {
                    loads: m.tileLoads,
                    errors: m.tileErrors,
                    baseShown: getComputedStyle(m.map.getPane('tessaroBase')).visibility === 'visible',
                };
            });
            assert.ok(seen.loads > 0 && seen.errors > 0);
            assert.equal(seen.baseShown, true);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('puts the vehicle at the first fix at street level, and draws the track behind it', async () => {
        const {context, page, errors} = await openMap();
        try {
            await call(page, '37.387458', '127.123456');
            let state = await mapState(page);
            assert.deepEqual(state.marker, [37.387458, 127.123456]);
            assert.equal(state.zoom, 16);
            assertNear(state.centre[0], 37.387458, 1e-6, 'centre latitude');
            assertNear(state.centre[1], 127.123456, 1e-6, 'centre longitude');
            assert.deepEqual(tracks(state), [[[37.387458, 127.123456]]]);

            // One fix a second, each repeated three times as the viewer's ticks do.
            const drive = [];
            for (let i = 1; i <= 5; i += 1) {
                drive.push([37.387458 + i * 0.0002, 127.123456 + i * 0.0001]);
            }
            for (const [lat, lng] of drive) {
                for (let repeat = 0; repeat < 3; repeat += 1) {
                    await call(page, fix(lat), fix(lng));
                }
            }
            state = await mapState(page);
            assert.deepEqual(state.marker, [Number(fix(drive[4][0])), Number(fix(drive[4][1]))]);
            assert.equal(state.trackCount, 1);
            const expected = [[37.387458, 127.123456]].concat(drive.map(([a, b]) => [Number(fix(a)), Number(fix(b))]));
            assert.deepEqual(tracks(state), [expected], 'repeats add no point');
            assert.equal(state.lastError, null);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('starts a new track after an implausible jump and keeps the user\'s zoom', async () => {
        const {context, page, errors} = await openMap();
        try {
            await call(page, '37.000000', '127.000000');
            await call(page, '37.001000', '127.000000'); // 111 m
            await call(page, '37.010000', '127.000000'); // 1 km: still the same track
            const limit = await page.evaluate(() => window.tessaroMap.newTrackJumpMetres);
            assert.equal(limit, 2000);
            // The user zooms out.
            await page.evaluate(() => window.tessaroMap.map.setZoom(14, {animate: false}));
            await call(page, '37.040000', '127.000000'); // 3.3 km
            await call(page, '37.041000', '127.000000');
            let state = await mapState(page);
            assert.equal(state.trackCount, 2);
            assert.deepEqual(tracks(state), [
                [[37, 127], [37.001, 127], [37.01, 127]],
                [[37.04, 127], [37.041, 127]],
            ]);
            assert.equal(state.zoom, 14, 'the user\'s zoom stays');
            assertNear(state.centre[0], 37.04, 0.002, 'the view follows the jump');
            assert.equal(state.heading, 0, 'heading north, from the new track only');

            // Over the 180th meridian: a new line rather than one across the world.
            await call(page, '-16.800000', '179.999000');
            await call(page, '-16.800000', '-179.999000');
            state = await mapState(page);
            assert.equal(state.trackCount, 4);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('keeps its view and the user\'s zoom over a reload, and nothing else', async () => {
        // The viewer refreshes the page after each change of its window's layout.
        const {context, page, errors} = await openMap();
        const reload = async () => {
            await page.reload({waitUntil: 'load'});
            await page.waitForFunction(() => window.tessaroMap && window.tessaroMap.drawnAt !== null);
        };
        try {
            await call(page, '37.387458', '127.123456');
            await call(page, '37.388458', '127.123456');
            await page.evaluate(() => window.tessaroMap.map.setZoom(14, {animate: false}));
            const before = await mapState(page);
            await reload();
            let state = await mapState(page);
            assert.equal(state.zoom, 14);
            assertNear(state.centre[0], before.centre[0], 1e-5, 'centre latitude');
            assertNear(state.centre[1], before.centre[1], 1e-5, 'centre longitude');
            assert.equal(state.marker, null, 'no vehicle until the viewer gives its position');
            assert.deepEqual(tracks(state), [], 'the track is not carried over');

            // The position again: the vehicle is in view, so the view stays; then it drives out of view
            // and the view follows at the user's zoom.
            assert.equal(await callAndSettle(page, '37.388458', '127.123456'), false, 'no move');
            state = await mapState(page);
            assert.deepEqual(state.marker, [37.388458, 127.123456]);
            assert.equal(state.zoom, 14);
            await callAndSettle(page, '37.398458', '127.123456');
            state = await mapState(page);
            assert.equal(state.zoom, 14);
            assertNear(state.centre[0], 37.398458, 0.01, 'the view follows');

            // A name that is not a kept view, or not a sound one, starts at the world; the first fix then
            // goes to street level.
            for (const name of ['tessaro-map-view 37.4 127.1 99', 'tessaro-map-view 37.4 abc 14',
                'tessaro-map-view 95 127.1 14', 'tessaro-map-view 37.4 127.1', 'someone else\'s name']) {
                await page.evaluate((n) => { window.name = n; }, name);
                await reload();
                state = await mapState(page);
                assert.equal(state.zoom, 1, name);
            }
            await call(page, '37.387458', '127.123456');
            state = await mapState(page);
            assert.equal(state.zoom, 16);
            assert.equal(state.lastError, null);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('draws a long drive as one continuous track', async () => {
        const {context, page, errors} = await openMap();
        try {
            const count = await page.evaluate(() => {
                let n = 0;
                for (let i = 0; i < 1000; i += 1) {
                    window.DrawCurrent((51.5 + i * 0.0001).toFixed(6), (-0.12 - i * 0.00005).toFixed(6));
                    n += 1;
                }
                return n;
            });
            const state = await mapState(page);
            assert.equal(state.trackCount, 1);
            assert.ok(state.lines.length > 1, 'drawn in several polylines');
            for (let i = 1; i < state.lines.length; i += 1) {
                const previous = state.lines[i - 1].points;
                assert.deepEqual(state.lines[i].points[0], previous[previous.length - 1], 'polylines join');
            }
            const [points] = tracks(state);
            assert.equal(points.length, count);
            assert.deepEqual(points[999], [51.5999, -0.16995]);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('pans only when the vehicle leaves the inner part of the view', async () => {
        const {context, page, errors} = await openMap();
        try {
            await call(page, '52.520008', '13.404954');
            const {width, height} = SHOWN;
            const centreBefore = (await mapState(page)).centre;

            // Moves inside the inner part (the view less 20% on each side): the view stays.
            for (const [x, y] of [[width * 0.7, height * 0.5], [width * 0.75, height * 0.3], [width * 0.3, height * 0.7]]) {
                const [lat, lng] = await atPoint(page, x, y);
                assert.equal(await callAndSettle(page, lat, lng), false, `no pan for ${x}, ${y}`);
            }
            assert.deepEqual((await mapState(page)).centre, centreBefore);

            // Out of it, still in view: the view pans to the vehicle.
            const [lat, lng] = await atPoint(page, width * 0.9, height * 0.5);
            assert.equal(await callAndSettle(page, lat, lng), true);
            const [x, y] = await markerPoint(page);
            assertNear(x, width / 2, 2, 'vehicle x after the pan');
            assertNear(y, height / 2, 2, 'vehicle y after the pan');
            const state = await mapState(page);
            assert.equal(state.zoom, 16);
            assert.equal(state.trackCount, 1);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('leaves the view to a user who dragged it while the vehicle stays in sight', async () => {
        const {context, page, errors} = await openMap();
        try {
            await call(page, '35.681236', '139.767125');
            const {width, height} = SHOWN;
            // The user drags the map 100 pixels to the left.
            await page.mouse.move(200, 150);
            await page.mouse.down();
            for (let step = 1; step <= 10; step += 1) {
                await page.mouse.move(200 - step * 10, 150);
            }
            await page.mouse.up();
            await page.waitForTimeout(700); // the drag's inertia
            const held = (await mapState(page)).centre;
            let [lat, lng] = await atPoint(page, width * 0.12, height * 0.5);
            assert.equal(await callAndSettle(page, lat, lng), false, 'vehicle in sight: the user\'s view stays');
            assert.deepEqual((await mapState(page)).centre, held);
            [lat, lng] = await atPoint(page, -20, height * 0.5);
            assert.equal(await callAndSettle(page, lat, lng), true, 'vehicle out of sight: the view follows');
            const [x] = await markerPoint(page);
            assertNear(x, width / 2, 2, 'vehicle back in the middle');
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('turns the vehicle\'s arrow to its heading, and ignores GPS jitter', async () => {
        const {context, page, errors} = await openMap();
        try {
            function arrow() {
                return page.evaluate(() => {
                    const element = window.tessaroMap.marker.getElement();
                    return {
                        still: element.classList.contains('tessaro-vehicle-still'),
                        transform: element.firstChild.style.transform,
                    };
                });
            }
            await call(page, '40.000000', '-3.700000');
            assert.equal((await arrow()).still, true, 'no heading before the vehicle moves');
            await call(page, '40.000500', '-3.700000');
            const north = await arrow();
            assert.equal(north.still, false);
            assert.match(north.transform, /^rotate\(0(\.0)?deg\)$/);
            await call(page, '40.000500', '-3.699500');
            let state = await mapState(page);
            assertNear(state.heading, 90, 0.1, 'east');
            await call(page, '40.000510', '-3.699500'); // 1 m: jitter
            state = await mapState(page);
            assertNear(state.heading, 90, 0.1, 'jitter keeps the heading');
            await call(page, '39.999500', '-3.700500');
            state = await mapState(page);
            assert.ok(state.heading > 180 && state.heading < 270, 'south-west');
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('ignores invalid positions without a script error', async () => {
        const {context, page, errors} = await openMap();
        try {
            await call(page, '37.387458', '127.123456');
            const before = await mapState(page);
            const bad = [
                [' 37.400000', '127.100000'],
                ['37.400000 ', '127.100000'],
                ['37.400000', '127 .100000'],
                ['37,400000', '127,100000'],
                ['37.400000,127.100000', ''],
                ['NaN', 'NaN'],
                ['37.400000', 'NaN'],
                ['', ''],
                ['91.000000', '127.100000'],
                ['-90.000001', '127.100000'],
                ['37.400000', '-181.000000'],
                ['37.400000', '180.000001'],
                ['0.000000', '0.000000'],
                ['-0.000000', '0.000000'],
                ['Infinity', '127.100000'],
                ['1e1', '127.100000'],
                ['0x25', '127.100000'],
                ['37.4.0', '127.100000'],
                ['+37.400000', '127.100000'],
            ];
            for (const [lat, lng] of bad) {
                await call(page, lat, lng);
            }
            // What a careless caller might pass.
            await page.evaluate(() => {
                window.DrawCurrent();
                window.DrawCurrent(null, null);
                window.DrawCurrent(undefined, '127.100000');
                window.DrawCurrent({}, []);
                window.DrawCurrent({toString: () => { throw new Error('no text'); }}, '1');
                window.DrawCurrent(NaN, 12);
            });
            const after = await mapState(page);
            assert.deepEqual(after.marker, before.marker);
            assert.deepEqual(after.lines, before.lines);
            assert.equal(after.ignored, bad.length + 6);
            assert.equal(after.lastError, null);
            // A good position still draws afterwards.
            await call(page, '37.387600', '127.123500');
            assert.deepEqual((await mapState(page)).marker, [37.3876, 127.1235]);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('places positions south of the equator and west of Greenwich', async () => {
        const {context, page, errors} = await openMap();
        try {
            const places = [
                ['-33.868820', '151.209296'],
                ['-22.906847', '-43.172897'],
                ['40.712776', '-74.005974'],
                ['-0.000100', '-0.000100'],
                ['89.999999', '-179.999999'],
            ];
            for (const [lat, lng] of places) {
                await call(page, lat, lng);
                const state = await mapState(page);
                assert.deepEqual(state.marker, [Number(lat), Number(lng)]);
                const [x, y] = await markerPoint(page);
                assert.ok(x >= 0 && x <= SHOWN.width && y >= 0 && y <= SHOWN.height, `${lat}, ${lng} in view`);
            }
            const state = await mapState(page);
            assert.equal(state.trackCount, places.length, 'each a track of its own');
            assert.equal(state.lastError, null);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('keeps a position given while the page was still loading', async () => {
        const {context, page, errors} = await openMap({
            init: () => {
                window.earlyCall = 'not made';
                const observer = new MutationObserver((records) => {
                    for (const record of records) {
                        for (const node of record.addedNodes) {
                            if (node.nodeName === 'SCRIPT' && /leaflet\.js$/.test(node.src)) {
                                observer.disconnect();
                                try {
                                    window.DrawCurrent('-33.868820', '151.209296');
                                    window.earlyCall = window.tessaroMap ? 'after the map' : 'before the map';
                                } catch (error) {
                                    window.earlyCall = 'threw ' + error.message;
                                }
                            }
                        }
                    }
                });
                observer.observe(document, {childList: true, subtree: true});
            },
        });
        try {
            assert.equal(await page.evaluate(() => window.earlyCall), 'before the map');
            const state = await mapState(page);
            assert.deepEqual(state.marker, [-33.86882, 151.209296]);
            assert.equal(state.zoom, 16);
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('fits the expanded and maximised window', async () => {
        const {context, page, errors} = await openMap();
        try {
            await call(page, '37.387458', '127.123456');
            for (const size of [EXPANDED, {width: 420, height: 700}]) {
                await page.setViewportSize(size);
                await page.waitForFunction(
                    ([w, h]) => {
                        const s = window.tessaroMap.map.getSize();
                        return s.x === w && s.y === h;
                    },
                    [size.width, size.height]);
            }
            await page.setViewportSize(EXPANDED);
            await page.waitForFunction(() => window.tessaroMap.map.getSize().y === 408);
            await call(page, '37.387800', '127.123900');
            await page.waitForTimeout(300);
            await screenshot(page, 'map-expanded.png');
            assert.deepEqual(errors, []);
        } finally {
            await context.close();
        }
    });

    it('stays quiet when its scripts are missing', async () => {
        const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'map-pages-'));
        try {
            fs.cpSync(pagesDir, dir, {recursive: true});
            fs.rmSync(path.join(dir, 'map', 'leaflet.js'));
            const {context, page, errors} = await open('map.htm', {dir});
            try {
                await call(page, '37.387458', '127.123456');
                assert.match(await page.textContent('#map'), /The map could not be loaded\./);
                assert.deepEqual(errors.filter((e) => !/ERR_FILE_NOT_FOUND/.test(e)), []);
            } finally {
                await context.close();
            }
        } finally {
            fs.rmSync(dir, {recursive: true, force: true});
        }
    });
});

describe('notice pages', () => {
    const texts = {
        'mapNotConect.htm': 'No internet connection',
        'mapNoGPSData.htm': 'No GPS data for this recording',
    };
    for (const [name, text] of Object.entries(texts)) {
        it(`${name} says "${text}" in the skin's colours`, async () => {
            const {context, page, errors} = await open(name);
            try {
                const seen = await page.evaluate(() => {
                    const line = document.querySelector('.tessaro-notice-text');
                    const box = line.getBoundingClientRect();
                    return {
                        text: line.textContent,
                        colour: getComputedStyle(line).color,
                        background: getComputedStyle(document.body).backgroundColor,
                        inside: box.top >= 0 && box.left >= 0 && box.right <= innerWidth && box.bottom <= innerHeight,
                        oneLine: box.height < 2 * parseFloat(getComputedStyle(line).fontSize) + 2,
                        hasDrawCurrent: typeof window.DrawCurrent,
                    };
                });
                assert.equal(seen.text, text);
                assert.equal(seen.colour, SKIN_TEXT);
                assert.equal(seen.background, SKIN_BACKGROUND);
                assert.ok(seen.inside, 'visible in the shown window');
                assert.ok(seen.oneLine, 'on one line');
                assert.equal(seen.hasDrawCurrent, 'undefined');
                await screenshot(page, name.replace('.htm', '.png'));
                assert.deepEqual(errors, []);
            } finally {
                await context.close();
            }
        });
    }
});
