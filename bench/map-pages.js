// Figures of map.htm in headless Chromium with no network (see bench/map-pages).
// usage: node map-pages.js PAGES_DIR NODE_MODULES_DIR [LOADS] [CALLS]
'use strict';

const path = require('path');
const {launch, offlineContext, pageUrl} = require(path.join(__dirname, '..', 'tests', 'map', 'browser.js'));

const LOAD_LIMIT_MS = 500;
const CALL_LIMIT_MS = 2;

function median(values) {
    const sorted = values.slice().sort((a, b) => a - b);
    return sorted[Math.floor((sorted.length - 1) / 2)];
}

function percentile(values, share) {
    const sorted = values.slice().sort((a, b) => a - b);
    return sorted[Math.min(sorted.length - 1, Math.floor(sorted.length * share))];
}

// Navigation start to the first frame with the base layer drawn; the page notes that time
// (performance.now() counts from the navigation's start) in the frame after the one that drew it.
async function loadTime(browser, pagesDir) {
    const context = await offlineContext(browser);
    try {
        const page = await context.newPage();
        await page.goto(pageUrl(pagesDir, 'map.htm'));
        await page.waitForFunction(() => window.tessaroMap && window.tessaroMap.drawnAt !== null);
        return await page.evaluate(() => {
            const paths = document.querySelectorAll('.leaflet-tessaroBase-pane path');
            if (paths.length === 0) {
                throw new Error('no base layer drawn');
            }
            return window.tessaroMap.drawnAt;
        });
    } finally {
        await context.close();
    }
}

// Calls along a drive at about 100 km/h, one new position each call (the costly case: every call
// extends the track, and the view pans as the vehicle leaves its inner part), spaced so that the page
// draws between calls as it does in the viewer. Each call is timed inside the page.
async function callTimes(browser, pagesDir, calls) {
    const context = await offlineContext(browser);
    try {
        const page = await context.newPage();
        await page.goto(pageUrl(pagesDir, 'map.htm'));
        await page.waitForFunction(() => window.tessaroMap && window.tessaroMap.drawnAt !== null);
        return await page.evaluate((count) => new Promise((resolve) => {
            const times = [];
            let i = 0;
            function next() {
                // A gentle curve: about 28 m a call, turning slowly.
                const angle = i / 120;
                const lat = 37.387458 + 0.00025 * Math.cos(angle) * i / 10 + 0.0002 * i * Math.sin(angle / 3);
                const lng = 127.123456 + 0.0003 * i;
                const latText = lat.toFixed(6);
                const lngText = lng.toFixed(6);
                const start = performance.now();
                window.DrawCurrent(latText, lngText);
                times.push(performance.now() - start);
                i += 1;
                if (i < count) {
                    setTimeout(next, 12);
                } else {
                    resolve({times, error: window.tessaroMap.lastError, tracks: window.tessaroMap.trackCount});
                }
            }
            next();
        }), calls);
    } finally {
        await context.close();
    }
}

async function main() {
    const [pagesDir, modules, loadsText, callsText] = process.argv.slice(2);
    if (!pagesDir || !modules) {
        process.stderr.write('usage: node map-pages.js PAGES_DIR NODE_MODULES_DIR [LOADS] [CALLS]\n');
        process.exit(2);
    }
    const loads = Number(loadsText || 9);
    const calls = Number(callsText || 400);
    const browser = await launch(modules);
    let over = false;
    try {
        await loadTime(browser, pagesDir); // warm the browser once
        const times = [];
        for (let i = 0; i < loads; i += 1) {
            times.push(await loadTime(browser, pagesDir));
        }
        const load = median(times);
        console.log(`map_page_load_ms ${load.toFixed(0)} ms (limit ${LOAD_LIMIT_MS}; runs: ` +
            `${times.map((t) => t.toFixed(0)).join(' ')})`);
        over = over || load > LOAD_LIMIT_MS;

        const result = await callTimes(browser, pagesDir, calls);
        if (result.error || result.tracks !== 1) {
            throw new Error(`the drive was not drawn as one track: ${result.error || result.tracks + ' tracks'}`);
        }
        const call = median(result.times);
        console.log(`map_drawcurrent_ms ${call.toFixed(3)} ms (limit ${CALL_LIMIT_MS}; ${calls} calls; ` +
            `95th percentile ${percentile(result.times, 0.95).toFixed(3)}, ` +
            `worst ${Math.max(...result.times).toFixed(3)})`);
        over = over || call > CALL_LIMIT_MS;
    } finally {
        await browser.close();
    }
    process.exit(over ? 1 : 0);
}

main().catch((error) => {
    process.stderr.write(String((error && error.stack) || error) + '\n');
    process.exit(1);
});
