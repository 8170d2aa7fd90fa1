// Headless Chromium for the map pages' tests and benchmark: Debian's chromium driven by playwright-core,
// with every network request refused (or, for one test, tiles served from a local route).
'use strict';

const path = require('path');

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
// What works on these machines: no sandbox (root, containers), no GPU, and none of Chromium's own
// background traffic. playwright-core adds --headless and a new empty --user-data-dir of its own.
const CHROMIUM_ARGS = [
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
];

// The map window's sizes in the viewer: shown, expanded.
const SHOWN = {width: 305, height: 253};
const EXPANDED = {width: 305, height: 408};

function playwright(modules) {
    return require(path.join(modules, 'playwright-core'));
}

async function launch(modules) {
    return playwright(modules).chromium.launch({executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS});
}

// A new context (own cache and storage) with all http and https requests aborted.
async function offlineContext(browser, size) {
    const context = await browser.newContext({viewport: size || SHOWN});
    await context.route(/^https?:\/\//, (route) => route.abort('internetdisconnected'));
    return context;
}

function pageUrl(dir, name) {
    return 'file://' + path.resolve(dir, name);
}

module.exports = {CHROMIUM, CHROMIUM_ARGS, SHOWN, EXPANDED, launch, offlineContext, pageUrl};
