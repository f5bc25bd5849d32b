// The map page: a Leaflet map with one marker that follows the GPS fix of the playing second
// and the route of the recording and of its trip, or, for a recording without fixes, a marker
// where the car placed its saved or Sentry event. The program calls SetLgtLat, fix, SetRoute
// and SetEvent with JSON-encoded arguments. Texts it hands over are shown as text only; nothing from the
// program is ever parsed as markup or script. Clicks on a route, and right clicks anywhere for
// the map's menu, go back to the program over Qt's web channel, as numbers.

var map;
var marker;
var latitude;
var longitude;
var inited = 0;
var routeLayer;
var bridge;
var tilesLoaded = 0;
var drawnUnreported = -1; // a route drawn before the channel to the program was up
// The routes' bounds, kept fitted into the map as its size changes until the user zooms or pans
// by hand: the map's window gets its real size only after the page has drawn the route.
var routeBounds = null;
var userMoved = false;
var eventMarker = null; // the event's place, shown with its text instead of a fix
var moving = 0; // > 0 while the page itself moves the map

var TILE_URL = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
var ATTRIBUTION =
    '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors';

function initialize() {
    if (typeof L === "undefined")
        return;
    map = L.map("map_canvas", { center: [22.616061, 114.055691], zoom: 14 });
    map.attributionControl.setPrefix("Leaflet");
    var tiles = L.tileLayer(TILE_URL, { maxZoom: 19, attribution: ATTRIBUTION });
    tiles.on("tileload", function () {
        tilesLoaded++;
        document.body.classList.remove("offline");
    });
    // The first failed tile switches to the plain map at once: no waiting for time-outs, and
    // the route, marker and scale do not depend on tiles.
    tiles.on("tileerror", function () {
        if (!tilesLoaded)
            document.body.classList.add("offline");
    });
    tiles.addTo(map);
    CoordinateGrid().addTo(map);
    L.control.scale({ imperial: false }).addTo(map);
    routeLayer = L.layerGroup().addTo(map);
    // Leaflet reports the page's own moves as well; those run inside Moving().
    map.on("movestart zoomstart", function () {
        if (!moving)
            userMoved = true;
    });
    map.on("contextmenu", function (event) {
        var position = event.latlng.wrap();
        if (bridge)
            bridge.menuRequested(position.lat, position.lng);
    });
    map.on("resize", function () {
        if (!userMoved)
            FitRoute();
    });
    if (typeof QWebChannel !== "undefined" && typeof qt !== "undefined")
        new QWebChannel(qt.webChannelTransport, function (channel) {
            bridge = channel.objects.bridge;
            if (drawnUnreported >= 0)
                bridge.routeDrawn(drawnUnreported);
        });
    fix(0);
    inited = 1;
}

// A light grid of tile edges, seen only where no tile covers it.
function CoordinateGrid() {
    var Grid = L.GridLayer.extend({
        createTile: function (coords) {
            var tile = document.createElement("canvas");
            var size = this.getTileSize();
            tile.width = size.x;
            tile.height = size.y;
            var context = tile.getContext("2d");
            context.strokeStyle = "rgba(0, 0, 0, 0.12)";
            context.beginPath();
            context.moveTo(0.5, size.y);
            context.lineTo(0.5, 0.5);
            context.lineTo(size.x, 0.5);
            context.stroke();
            return tile;
        }
    });
    return new Grid({ zIndex: 0 });
}

// route: [[latitude, longitude], ...] of the current recording; trip: such lists for the
// trip's other recordings, drawn fainter. Fitted into view once per call.
function SetRoute(route, trip) {
    if (!inited)
        return;
    routeLayer.clearLayers();
    var bounds = L.latLngBounds([]);
    var lines = [];
    var others = Array.isArray(trip) ? trip : [];
    for (var i = 0; i < others.length; i++)
        lines.push({ points: Positions(others[i]), style: { color: "#3388ff", weight: 4, opacity: 0.35 } });
    var current = Positions(route);
    lines.push({ points: current, style: { color: "#d62728", weight: 5, opacity: 0.9 } });
    for (var j = 0; j < lines.length; j++) {
        if (!lines[j].points.length)
            continue;
        var line = L.polyline(lines[j].points, lines[j].style);
        line.on("click", RouteClicked);
        routeLayer.addLayer(line);
        bounds.extend(line.getBounds());
    }
    routeBounds = bounds.isValid() ? bounds : null;
    userMoved = false;
    FitRoute();
    if (bridge)
        bridge.routeDrawn(current.length);
    else
        drawnUnreported = current.length;
}

// Runs a move of the page's own, which must not count as the user's.
function Moving(move) {
    moving++;
    try {
        move();
    } finally {
        moving--;
    }
}

// The margin the fitted route keeps from the map's edges, and within which the marker may move
// without panning the map.
function Margin() {
    var size = map.getSize();
    return Math.max(12, Math.round(Math.min(size.x, size.y) * 0.08));
}

function FitRoute() {
    var size = map.getSize();
    var bounds = routeBounds ? L.latLngBounds(routeBounds.getSouthWest(), routeBounds.getNorthEast())
                             : null;
    if (eventMarker)
        bounds = bounds ? bounds.extend(eventMarker.getLatLng())
                        : L.latLngBounds(eventMarker.getLatLng(), eventMarker.getLatLng());
    // A hidden or not yet laid out map has no size to fit into: fitted when it gets one.
    if (!bounds || size.x <= 2 * Margin() || size.y <= 2 * Margin())
        return;
    var margin = Margin();
    Moving(function () {
        map.fitBounds(bounds, { animate: false, padding: [margin, margin], maxZoom: 17 });
    });
}

// A place that is no GPS fix: where the car put a saved or Sentry event (lat, lon in degrees),
// with `text` (why and when) beside it. The fix marker goes, as there is no fix to show; the
// next fix brings it back. SetEvent(null) removes the place. The same place and text again
// leave the map as the user has moved it.
function SetEvent(lat, lon, text) {
    if (!inited)
        return;
    var valid = typeof lat === "number" && typeof lon === "number" && Math.abs(lat) <= 90 &&
        Math.abs(lon) <= 180;
    text = String(text === undefined || text === null ? "" : text);
    if (eventMarker && valid && eventMarker.getLatLng().equals([lat, lon]) &&
        eventMarker.getTooltip().getContent().textContent === text)
        return;
    var removed = !!eventMarker;
    if (removed) {
        map.removeLayer(eventMarker);
        eventMarker = null;
    }
    if (!valid) {
        if (removed && !userMoved)
            FitRoute();
        return;
    }
    if (marker) {
        map.removeLayer(marker);
        marker = null;
        latitude = longitude = undefined;
    }
    var label = document.createElement("div");
    label.className = "event-text";
    label.textContent = text;
    eventMarker = L.circleMarker([lat, lon], {
        radius: 8, color: "#ffffff", weight: 2, fillColor: "#e6550d", fillOpacity: 1,
        keyboard: false
    }).bindTooltip(label, { permanent: true, direction: "top", offset: [0, -8] }).addTo(map);
    userMoved = false;
    FitRoute();
}

function Positions(points) {
    var out = [];
    if (!Array.isArray(points))
        return out;
    for (var i = 0; i < points.length; i++) {
        var p = points[i];
        if (Array.isArray(p) && typeof p[0] === "number" && typeof p[1] === "number" &&
            Math.abs(p[0]) <= 90 && Math.abs(p[1]) <= 180)
            out.push(L.latLng(p[0], p[1]));
    }
    return out;
}

function RouteClicked(event) {
    var position = event.latlng.wrap();
    if (bridge)
        bridge.routeClicked(position.lat, position.lng);
}

function fix(newHeight) {
    var canvas = document.getElementById("map_canvas");
    var info = document.getElementById("gpsinfo");
    var body = document.body;
    var h = Number(newHeight);
    if (h > 0) {
        canvas.style.height = h + "px";
        body.style.height = h + "px";
    } else {
        h = body.clientHeight;
        canvas.style.height = h + "px";
    }
    info.style.top = (body.scrollTop + h - 16) + "px";
    if (map)
        map.invalidateSize(false);
}

// The program passes the latitude first; the parameter names are the page's historical ones.
function SetLgtLat(lgt, lat, spd) {
    if (!inited)
        return;
    lgt = String(lgt);
    lat = String(lat);
    spd = String(spd);
    if (lgt === "") {
        ShowGpsInfo(0);
        return;
    }
    document.getElementById("gpsinfo").textContent =
        " Lgt:" + lgt + "   Lat:" + lat + "   " + spd + "Km/H";
    ShowGpsInfo(1);
    if (lgt !== longitude || lat !== latitude) {
        longitude = lgt;
        latitude = lat;
        PlaceMarker(lgt, lat);
    }
}

// Decimal degrees as the camera writes them; anything else is not a position.
function degrees(text) {
    if (!/^\s*[-+]?(\d+(\.\d*)?|\.\d+)\s*$/.test(text))
        return NaN;
    return Number(text);
}

function PlaceMarker(lgt, lat) {
    var a = degrees(lgt);
    var b = degrees(lat);
    // A position that is no position leaves the marker and the map where they are.
    if (!(Math.abs(a) <= 90) || !(Math.abs(b) <= 180))
        return;
    var position = L.latLng(a, b);
    if (marker)
        marker.setLatLng(position);
    else
        marker = L.marker(position, { keyboard: false }).addTo(map);
    // The map follows only a marker about to leave the view: panning on every fix would push
    // the fitted route out of view. Without animation the map shows the fix at once, also while
    // the view is hidden.
    var point = map.latLngToContainerPoint(position);
    var size = map.getSize();
    var margin = Margin();
    if (point.x < margin || point.y < margin || point.x > size.x - margin ||
        point.y > size.y - margin)
        Moving(function () {
            map.panTo(position, { animate: false });
        });
}

function ShowGpsInfo(show) {
    // The information line stays hidden; the function is kept for the page's callers.
}

window.addEventListener("load", initialize);
window.addEventListener("resize", function () { fix(0); });
