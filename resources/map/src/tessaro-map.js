/*
 * The vehicle map of the viewer's map window (map.htm).
 *
 * The viewer calls DrawCurrent(lat, lng) about three times a second while a recording with a GPS fix
 * plays, with both values as text in decimal degrees ("37.387458", "-122.084000"). The page moves the
 * vehicle marker there, draws the track behind it and keeps the vehicle in view.
 *
 * Runs in the Windows web browser control (Internet Explorer 11 engine) and in Chromium: ECMAScript 5
 * only, and nothing that IE11 lacks.
 *
 * Track rule: positions come once a second (each repeated until the next fix). A position more than
 * NEW_TRACK_JUMP_M from the previous one starts a new track: that is farther than a car covers in the
 * longest seek inside a one-minute recording (2 km at 120 km/h), and much farther than one second of
 * driving, so it means another trip, a later recording, or a bad fix. A repeated position adds nothing.
 */
(function (window, document) {
    'use strict';

    var L = window.L;

    // Zoom of the view on the first fix (street level). The user's zoom is kept afterwards.
    var FIRST_FIX_ZOOM = 16;
    // View before any fix: most of the world.
    var START_CENTER = [30, 10];
    var START_ZOOM = 1;
    // A position this far (metres) from the previous one starts a new track.
    var NEW_TRACK_JUMP_M = 2000;
    // The heading is taken from moves of at least this length (metres), so GPS jitter at a stop does
    // not spin the arrow.
    var HEADING_MIN_STEP_M = 3;
    // The view pans when the vehicle leaves its inner part: the view less this share of its width and
    // height on each side.
    var VIEW_MARGIN = 0.2;
    // After the user drags or zooms the map, the view follows the vehicle again only when it has left
    // the view, or when this much time (ms) has passed.
    var USER_VIEW_HOLD_MS = 8000;
    // A track is drawn as polylines of at most this many points, so that adding a point redraws a
    // bounded line however long the drive; the oldest are dropped past TRACK_MAX_POINTS.
    var SEGMENT_MAX_POINTS = 400;
    var TRACK_MAX_POINTS = 40000;
    // The view is carried over a reload of the page (the viewer refreshes it after every change of its
    // window's layout) in the window's name, which outlives the document: "tessaro-map-view LAT LNG ZOOM".
    var VIEW_NAME_PREFIX = 'tessaro-map-view ';
    // Accepted text of a coordinate: what printf's %f writes, optionally with fewer decimals.
    var COORDINATE = /^-?\d{1,3}(\.\d{1,15})?$/;

    // The vehicle's shapes in its 30 x 30 icon: an arrow pointing north (turned to the heading), a dot.
    var ARROW = '<path d="M15 3L23.5 25L15 20L6.5 25Z"/>';
    var DOT = '<circle cx="15" cy="15" r="7"/>';

    var TILE_OPACITY = 0.85;
    var OSM_URL = 'https://tile.openstreetmap.org/{z}/{x}/{y}.png';
    var OSM_ATTRIBUTION =
        '&copy; <a href="https://www.openstreetmap.org/copyright" target="_blank" rel="noopener">' +
        'OpenStreetMap</a> contributors';
    var LEAFLET_ATTRIBUTION = '<a href="https://leafletjs.com" target="_blank" rel="noopener">Leaflet</a>';

    var TRACK_STYLE = {color: '#2f9bff', weight: 4, opacity: 0.92, lineCap: 'round', lineJoin: 'round',
        interactive: false};
    var LAND_STYLE = {color: '#3f5a70', weight: 1, opacity: 1, fillColor: '#2a2f33', fillOpacity: 1,
        interactive: false};
    var BORDER_STYLE = {color: '#646d75', weight: 1, opacity: 0.9, dashArray: '3,3', fill: false,
        interactive: false};

    var state = {
        map: null,
        tiles: null,
        base: null,
        track: null,
        marker: null,
        last: null,          // last drawn position (L.LatLng)
        heading: null,       // degrees clockwise from north, null until the vehicle moves
        trackCount: 0,       // tracks started so far
        segment: null,       // polyline being extended
        segmentPoints: 0,
        segments: [],        // every polyline of every track, oldest first
        trackPoints: 0,
        ownView: false,      // true while the page itself changes the view
        userViewUntil: 0,    // the user's view is held until this time (ms)
        tileLoads: 0,
        tileErrors: 0,
        ignored: 0,
        lastError: null,
        drawnAt: null,       // performance.now() of the first frame with the base layer drawn
        carriedView: false   // the view came from before a reload of the page
    };

    function now() {
        return window.performance && window.performance.now ? window.performance.now() : new Date().getTime();
    }

    function readCoordinate(value, limit) {
        var number;
        if (typeof value === 'number') {
            number = value;
        } else if (typeof value === 'string' && COORDINATE.test(value)) {
            number = parseFloat(value);
        } else {
            return null;
        }
        if (!isFinite(number) || number < -limit || number > limit) {
            return null;
        }
        return number;
    }

    function toRadians(degrees) {
        return degrees * Math.PI / 180;
    }

    // Initial great-circle bearing from a to b, degrees clockwise from north.
    function bearing(a, b) {
        var lat1 = toRadians(a.lat);
        var lat2 = toRadians(b.lat);
        var dLng = toRadians(b.lng - a.lng);
        var y = Math.sin(dLng) * Math.cos(lat2);
        var x = Math.cos(lat1) * Math.sin(lat2) - Math.sin(lat1) * Math.cos(lat2) * Math.cos(dLng);
        var degrees = Math.atan2(y, x) * 180 / Math.PI;
        return (degrees + 360) % 360;
    }

    // Drawn twice: a dark rim under the shape edged in white.
    function vehicleSvg(shape) {
        return '<svg width="30" height="30" viewBox="0 0 30 30" focusable="false">' +
            shape.replace('/>', ' fill="none" stroke="rgb(0,0,0)" stroke-opacity="0.55" stroke-width="4.5" ' +
                'stroke-linejoin="round"/>') +
            shape.replace('/>', ' fill="rgb(30,138,224)" stroke="rgb(255,255,255)" stroke-width="2" ' +
                'stroke-linejoin="round"/>') +
            '</svg>';
    }

    function vehicleIcon() {
        return L.divIcon({
            className: 'tessaro-vehicle tessaro-vehicle-still',
            html: '<div class="tessaro-vehicle-heading">' + vehicleSvg(ARROW) + '</div>' +
                '<div class="tessaro-vehicle-dot">' + vehicleSvg(DOT) + '</div>',
            iconSize: [30, 30],
            iconAnchor: [15, 15]
        });
    }

    function showHeading() {
        var element = state.marker.getElement();
        if (!element) {
            return;
        }
        if (state.heading === null) {
            L.DomUtil.addClass(element, 'tessaro-vehicle-still');
            return;
        }
        L.DomUtil.removeClass(element, 'tessaro-vehicle-still');
        var arrow = element.firstChild;
        var rotation = 'rotate(' + state.heading.toFixed(1) + 'deg)';
        arrow.style.msTransform = rotation;
        arrow.style.transform = rotation;
    }

    function addSegment(first, second) {
        var points = second ? [first, second] : [first];
        state.segment = L.polyline(points, L.extend({trackIndex: state.trackCount - 1}, TRACK_STYLE));
        state.segment.addTo(state.track);
        state.segmentPoints = points.length;
        state.segments.push(state.segment);
        state.trackPoints += points.length;
        while (state.trackPoints > TRACK_MAX_POINTS && state.segments.length > 1) {
            var oldest = state.segments.shift();
            state.trackPoints -= oldest.getLatLngs().length;
            state.track.removeLayer(oldest);
        }
    }

    function startTrack(position) {
        state.trackCount += 1;
        addSegment(position);
    }

    function extendTrack(from, position) {
        if (state.segmentPoints >= SEGMENT_MAX_POINTS) {
            // Continue in a new polyline that starts where the full one ends.
            addSegment(from, position);
            return;
        }
        state.segment.addLatLng(position);
        state.segmentPoints += 1;
        state.trackPoints += 1;
    }

    function userHoldsView() {
        return now() < state.userViewUntil;
    }

    function withOwnView(change) {
        state.ownView = true;
        try {
            change();
        } finally {
            state.ownView = false;
        }
    }

    // Keeps the vehicle in the inner part of the view; the zoom stays the user's.
    function follow(position, jumped) {
        var map = state.map;
        var size = map.getSize();
        var point = map.latLngToContainerPoint(position);
        var marginX = size.x * VIEW_MARGIN;
        var marginY = size.y * VIEW_MARGIN;
        if (point.x >= marginX && point.x <= size.x - marginX && point.y >= marginY && point.y <= size.y - marginY) {
            return;
        }
        var visible = point.x >= 0 && point.x <= size.x && point.y >= 0 && point.y <= size.y;
        if (visible && !jumped && userHoldsView()) {
            return;
        }
        var far = Math.abs(point.x - size.x / 2) > size.x * 1.5 || Math.abs(point.y - size.y / 2) > size.y * 1.5;
        withOwnView(function () {
            if (jumped || far) {
                map.setView(position, map.getZoom(), {animate: false});
            } else {
                map.panTo(position, {animate: true, duration: 0.3, easeLinearity: 0.5});
            }
        });
    }

    function draw(position) {
        var last = state.last;
        if (!last) {
            if (!state.carriedView) {
                withOwnView(function () {
                    state.map.setView(position, FIRST_FIX_ZOOM, {animate: false});
                });
            }
            startTiles();
            startTrack(position);
            state.marker.setLatLng(position).addTo(state.map);
            state.last = position;
            showHeading();
            if (state.carriedView) {
                follow(position, true);
            }
            keepView();
            return;
        }
        if (position.lat === last.lat && position.lng === last.lng) {
            return;
        }
        var step = last.distanceTo(position);
        // Crossing the 180th meridian also starts a new line, which would otherwise span the world.
        var jumped = step > NEW_TRACK_JUMP_M || Math.abs(position.lng - last.lng) > 180;
        if (jumped) {
            startTrack(position);
            state.heading = null;
        } else {
            extendTrack(last, position);
            if (step >= HEADING_MIN_STEP_M) {
                state.heading = bearing(last, position);
            }
        }
        state.last = position;
        state.marker.setLatLng(position);
        showHeading();
        follow(position, jumped);
    }

    function drawCurrent(lat, lng) {
        try {
            var latitude = readCoordinate(lat, 90);
            var longitude = readCoordinate(lng, 180);
            if (latitude === null || longitude === null || (latitude === 0 && longitude === 0)) {
                state.ignored += 1;
                return;
            }
            draw(L.latLng(latitude, longitude));
        } catch (error) {
            // A script error would put up the browser control's error dialog over the viewer.
            state.lastError = String((error && error.message) || error);
        }
    }

    function addBaseLayer(map) {
        var world = window.tessaroWorld;
        // Both under the tiles (pane 200): land and borders, and above them the sheet lines.
        map.createPane('tessaroBase').style.zIndex = 150;
        map.createPane('tessaroSheets').style.zIndex = 160;
        var renderer = L.svg({pane: 'tessaroBase', padding: 0.3});

        var sheets = L.gridLayer({pane: 'tessaroSheets', updateWhenIdle: true});
        sheets.createTile = function () {
            var tile = document.createElement('div');
            tile.className = 'tessaro-sheet';
            return tile;
        };
        state.base = L.layerGroup([sheets]);
        if (world && world.land && world.borders) {
            state.base.addLayer(L.geoJSON(world.land, L.extend({renderer: renderer}, LAND_STYLE)));
            state.base.addLayer(L.geoJSON(world.borders, L.extend({renderer: renderer}, BORDER_STYLE)));
        }
        state.base.addTo(map);
    }

    function showBase(shown) {
        var visibility = shown ? '' : 'hidden';
        state.map.getPane('tessaroBase').style.visibility = visibility;
        state.map.getPane('tessaroSheets').style.visibility = visibility;
    }

    // The tiles are drawn a little dimmed over the dark background, to sit quietly in the dark skin.
    // The base layer is hidden while every tile in view has loaded, so it cannot show through them.
    function addTileLayer(map) {
        var failed = {}; // tiles in view that could not be had, by coordinates
        function key(coords) {
            return coords.z + '/' + coords.x + '/' + coords.y;
        }
        state.tiles = L.tileLayer(OSM_URL, {
            maxZoom: 19,
            opacity: TILE_OPACITY,
            attribution: OSM_ATTRIBUTION
        });
        state.tiles.on('tileload', function (event) {
            state.tileLoads += 1;
            delete failed[key(event.coords)];
        });
        state.tiles.on('tileunload', function (event) {
            delete failed[key(event.coords)];
        });
        state.tiles.on('tileerror', function (event) {
            // A failed tile would show as a broken picture in IE: hide it, the base layer shows instead.
            state.tileErrors += 1;
            failed[key(event.coords)] = true;
            if (event.tile) {
                event.tile.style.visibility = 'hidden';
            }
            showBase(true);
        });
        state.tiles.on('load', function () {
            for (var name in failed) {
                if (failed.hasOwnProperty(name)) {
                    return;
                }
            }
            showBase(false);
        });
        state.tiles.addTo(map);
    }

    function watchUser(map) {
        function hold() {
            if (!state.ownView) {
                state.userViewUntil = now() + USER_VIEW_HOLD_MS;
            }
        }
        map.on('dragstart drag dragend zoomstart', hold);
    }

    // Notes when the first frame with the base layer has been drawn, then starts the tiles: the map
    // shows at once, and the world's tiles are not fetched for nothing when a fix comes first.
    function afterFirstFrame() {
        var request = window.requestAnimationFrame || function (callback) {
            return window.setTimeout(callback, 16);
        };
        // The frame after the one that paints the layers.
        request(function () {
            request(function () {
                state.drawnAt = now();
                startTiles();
            });
        });
    }

    function startTiles() {
        if (!state.tiles) {
            addTileLayer(state.map);
        }
    }

    // The view kept by the page before a reload, or null.
    function carriedView() {
        var name = String(window.name || '');
        if (name.indexOf(VIEW_NAME_PREFIX) !== 0) {
            return null;
        }
        var parts = name.slice(VIEW_NAME_PREFIX.length).split(' ');
        var lat = Number(parts[0]), lng = Number(parts[1]), zoom = Number(parts[2]);
        if (parts.length !== 3 || !isFinite(lat) || !isFinite(lng) || Math.abs(lat) > 90 || Math.abs(lng) > 540 ||
            !isFinite(zoom) || zoom < 1 || zoom > 19) {
            return null;
        }
        return {center: [lat, lng], zoom: zoom};
    }

    function keepView() {
        if (!state.last) {
            return;
        }
        var center = state.map.getCenter();
        window.name = VIEW_NAME_PREFIX + center.lat.toFixed(6) + ' ' + center.lng.toFixed(6) + ' ' + state.map.getZoom();
    }

    function build() {
        var carried = carriedView();
        state.carriedView = carried !== null;
        var container = document.getElementById('map');
        var map = L.map(container, {
            center: carried ? carried.center : START_CENTER,
            zoom: carried ? carried.zoom : START_ZOOM,
            minZoom: 1,
            maxZoom: 19,
            zoomControl: false,
            attributionControl: false,
            worldCopyJump: true,
            fadeAnimation: false
        });
        state.map = map;
        L.control.zoom({position: 'topleft'}).addTo(map);
        L.control.attribution({position: 'bottomright', prefix: LEAFLET_ATTRIBUTION}).addTo(map);
        L.control.scale({position: 'bottomleft', maxWidth: 80, metric: true, imperial: true}).addTo(map);
        addBaseLayer(map);
        state.track = L.featureGroup().addTo(map);
        state.marker = L.marker(START_CENTER, {
            icon: vehicleIcon(),
            interactive: false,
            keyboard: false,
            zIndexOffset: 1000
        });
        watchUser(map);
        map.on('moveend', keepView);  // a change of zoom ends with one too
        afterFirstFrame();
    }

    function inspection() {
        // Read-only view of the page's state for tests and diagnosis; DrawCurrent is the only entry.
        var view = {};
        var names = ['map', 'tiles', 'base', 'track', 'marker', 'heading', 'trackCount', 'tileLoads', 'tileErrors',
            'ignored', 'lastError', 'drawnAt'];
        for (var i = 0; i < names.length; i += 1) {
            (function (name) {
                Object.defineProperty(view, name, {
                    enumerable: true,
                    get: function () {
                        return state[name];
                    }
                });
            })(names[i]);
        }
        view.newTrackJumpMetres = NEW_TRACK_JUMP_M;
        view.firstFixZoom = FIRST_FIX_ZOOM;
        view.viewMargin = VIEW_MARGIN;
        return Object.freeze(view);
    }

    if (!L) {
        var missing = document.getElementById('map');
        if (missing) {
            missing.className = 'tessaro-map-missing';
            missing.appendChild(document.createTextNode('The map could not be loaded.'));
        }
        return;
    }

    window.tessaroMap = inspection();
    try {
        build();
    } catch (error) {
        state.lastError = String((error && error.message) || error);
        return;
    }
    var early = window.tessaroEarlyFix;
    window.DrawCurrent = drawCurrent;
    if (early) {
        drawCurrent(early[0], early[1]);
    }
})(window, document);
